#pragma once
// The program's own shape file: an XML document that keeps what the sculpt map cannot — the exact
// points as decimal numbers, the stitch type and grid size, the object's size, the locked points
// and the point groups.
//
// The writer builds the text line by line (UTF-8 without byte-order mark, CR LF line ends, see
// ShapeText.h); the reader loads a DOM with pugixml, whose default parse drops whitespace-only
// text as the document model the format was made for does.
#include <cstdint>
#include <string>

#include "shape/model/ShapeRecord.h"

namespace shape {

// The user's name, written as the author of XML and COLLADA documents (escaped). The program
// keeps no user name, so it stays empty.
extern std::string AuthorName;

inline constexpr char kXmlVersion[] = "DURIM PROJECT Object DATA Ver1.0";

// Writes the document under the name MakeUniqueFileName gives for `fileName` (with "File
// OverWrite" off a free name is taken, as by every other writer); `fileName` comes back as the
// name written. Throws rv::EFCreateError when the file cannot be stored.
void WriteXmlObject(const TCS& cs, std::string& fileName);

// Reads the document into the shape: with `resetFirst` the grid starts as the default 33 x 33
// sphere (selection, lock and group arrays are kept), then the elements are applied in document
// order, the seams copied and the shape brought into the modelling cube (a shape that fits keeps
// the file's coordinates). On any error — a file that cannot be read, XML that is not well
// formed, a wrong root element or version, a "width" or "height" outside 2 to 257 — the message
// "XML Read Error: " followed by the error's text goes to the file prompts' ShowMessage, the
// shape and ObjectSize are left exactly as they were, and the result is false.
bool ReadXmlObject(TCS& cs, const std::string& fileName, bool resetFirst);

// "Sphere", "Torus", "Plane", "Cylinder"; "None" for any other value.
std::string StitchTypeToXmlName(TScType type);
// "Torus", "Plane" and "Cylinder" (exactly, case-sensitive) give their types, anything else the
// sphere.
TScType XmlNameToStitchType(const std::string& name);
// Exactly three words (separated by runs of blanks) give x, y, z, each 0 when it is no number;
// any other count gives (0, 0, 0).
TDbl3D ParseXmlPoint(const std::string& text);

// The lines of the document, without their line ends:
// "  <name>"; the object line; the size line ("%2.1f"); a value line with "%1.8f" coordinates; a
// value line without content.
std::string XmlTagLine(const std::string& name);
std::string XmlObjectLine(TScType type, int32_t width, int32_t height);
std::string XmlSizeLine(double x, double y, double z);
std::string XmlPointLine(int32_t left, int32_t top, const TDbl3D& p);
std::string XmlMarkLine(int32_t left, int32_t top);

}  // namespace shape
