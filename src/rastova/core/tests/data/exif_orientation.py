# Writes exif_orientation.txt: a 5 x 3 picture whose pixel values are their own indices,
# turned upright by Pillow's ImageOps.exif_transpose for the orientations 1 to 8.
# Run with /usr/bin/python3 (Debian's python3-pil).
from PIL import Image, ImageOps

W, H = 5, 3
lines = []
for o in range(1, 9):
    im = Image.new("L", (W, H))
    im.putdata([y * W + x for y in range(H) for x in range(W)])
    exif = im.getexif()
    exif[0x0112] = o
    im.info["exif"] = exif.tobytes()
    out = ImageOps.exif_transpose(im)
    lines.append("%d %d %d %s" % (o, out.width, out.height, " ".join(str(v) for v in out.getdata())))
with open("exif_orientation.txt", "w") as f:
    f.write("\n".join(lines) + "\n")
