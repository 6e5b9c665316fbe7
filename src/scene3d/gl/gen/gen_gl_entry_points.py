#!/usr/bin/env python3
"""Generates the OpenGL entry-point record of the 3D library from the Khronos registry.

    gen_gl_entry_points.py <gl.xml> <GLEntries.txt> <GLExtensionFlags.txt> <output folder>

Writes, into the output folder:
  scene3d/gl/GLEntryPointsGen.h     the record's function-pointer fields, typed as the registry
                                    declares each command, and its extension flags
  GLEntryPointTablesGen.cpp         per entry: the typed stub, how it is resolved, and the names
                                    that may bind it, each with the versions and extensions that
                                    provide that name
  GLRecordingFunctionsGen.cpp       per entry: a function that records the call and its arguments

Only the Python standard library is used. Files are rewritten only when their text changes.
"""
import os
import re
import sys
import xml.etree.ElementTree as ET

SUFFIXES = ("ARB", "EXT", "NV")  # fallbacks tried after the plain name, in this order
STRIP_SUFFIXES = ("ARB", "EXT", "NV", "AMD", "ATI")

# Types that the record treats as the same when it compares a fallback's signature with the
# field's: the typedefs differ in name only on this platform.
SAME_TYPE = {
    "GLhandleARB": "GLuint", "GLcharARB": "GLchar", "GLsizeiptrARB": "GLsizeiptr",
    "GLintptrARB": "GLintptr", "GLDEBUGPROCARB": "GLDEBUGPROC", "GLDEBUGPROCKHR": "GLDEBUGPROC",
    "GLhalfNV": "GLushort", "GLhalfARB": "GLhalf", "GLhalf": "GLushort", "GLint64EXT": "GLint64",
    "GLuint64EXT": "GLuint64", "GLclampf": "GLfloat", "GLclampd": "GLdouble", "GLvoid": "void",
}
POINTER_TYPES = {"GLsync", "GLDEBUGPROC", "GLDEBUGPROCARB", "GLDEBUGPROCKHR", "GLDEBUGPROCAMD",
                 "GLeglImageOES", "GLeglClientBufferEXT", "GLVULKANPROCNV"}
FLOAT_TYPES = {"GLfloat", "GLclampf", "GLdouble", "GLclampd"}


def fail(msg):
    sys.stderr.write("gen_gl_entry_points: " + msg + "\n")
    sys.exit(1)


def param_type(param):
    """The C type of a <param> or <proto>: its text without the <name> element."""
    out = param.text or ""
    for child in param:
        if child.tag != "name":
            out += "".join(child.itertext())
        out += child.tail or ""
    return " ".join(out.split())


def norm_type(t):
    t = t.replace("*", " * ")
    words = [SAME_TYPE.get(w, w) for w in t.split()]
    return " ".join(words).replace(" *", "*")


class Command:
    def __init__(self, elem):
        proto = elem.find("proto")
        self.name = proto.find("name").text
        self.ret = param_type(proto)
        self.params = []  # (type, name, len)
        for p in elem.findall("param"):
            self.params.append((param_type(p), p.find("name").text, p.get("len")))
        self.gates = []  # (major, minor) or extension name

    def signature(self):
        return (norm_type(self.ret), tuple(norm_type(t) for t, _, _ in self.params))


def load_registry(path):
    root = ET.parse(path).getroot()
    commands = {}
    for elem in root.find("commands").findall("command"):
        c = Command(elem)
        commands[c.name] = c
    features = {}
    for feat in root.findall("feature"):
        if feat.get("api") != "gl":
            continue
        major, minor = (int(x) for x in feat.get("number").split("."))
        names = []
        for req in feat.findall("require"):
            if req.get("api") not in (None, "gl"):
                continue
            for cmd in req.findall("command"):
                names.append(cmd.get("name"))
                commands[cmd.get("name")].gates.append((major, minor))
        features[feat.get("name")] = names
    extensions = {}
    for ext in root.find("extensions").findall("extension"):
        supported = ext.get("supported", "").split("|")
        if "gl" not in supported:
            continue
        names = []
        for req in ext.findall("require"):
            if req.get("api") not in (None, "gl"):
                continue
            for cmd in req.findall("command"):
                n = cmd.get("name")
                if n not in names:
                    names.append(n)
                g = commands[n].gates
                if ext.get("name") not in g:
                    g.append(ext.get("name"))
        extensions[ext.get("name")] = names
    return commands, features, extensions


def strip_suffix(name):
    for s in STRIP_SUFFIXES:
        if name.endswith(s) and len(name) > len(s):
            return name[: -len(s)]
    return name


class Entry:
    def __init__(self, field, source, keep):
        self.field = field  # field name, without "gl"
        self.source = source  # Command giving the type
        self.keep = keep  # bind only the source's own name
        self.manual_gate = None  # (name, extension) for entries the registry lacks
        self.prefer = None  # another field whose names are tried first


def main():
    if len(sys.argv) != 5:
        fail("usage: gen_gl_entry_points.py <gl.xml> <entries> <extension flags> <output folder>")
    xml_path, entries_path, flags_path, out_dir = sys.argv[1:]
    commands, features, extensions = load_registry(xml_path)

    entries = []
    by_field = {}

    def add(field, cmd_name, keep):
        if field in by_field:
            return
        if cmd_name not in commands:
            fail("unknown command " + cmd_name)
        e = Entry(field, commands[cmd_name], keep)
        entries.append(e)
        by_field[field] = e

    for lineno, raw in enumerate(open(entries_path, encoding="utf-8"), 1):
        line = raw.split("#", 1)[0].split()
        if not line:
            continue
        kind = line[0]
        where = "%s:%d" % (entries_path, lineno)
        if kind == "feature" and len(line) == 2:
            if line[1] not in features:
                fail(where + ": unknown feature " + line[1])
            for n in features[line[1]]:
                add(n[2:], n, False)
        elif kind == "extension" and len(line) == 3 and line[2] in ("strip", "keep"):
            if line[1] not in extensions:
                fail(where + ": unknown extension " + line[1])
            for n in extensions[line[1]]:
                keep = line[2] == "keep"
                add(n[2:] if keep else strip_suffix(n[2:]), n, keep)
        elif kind == "command" and len(line) == 3 and line[2] in ("strip", "keep"):
            keep = line[2] == "keep"
            add(line[1][2:] if keep else strip_suffix(line[1][2:]), line[1], keep)
        elif kind == "manual" and len(line) == 4:
            if line[2] not in commands:
                fail(where + ": unknown command " + line[2])
            e = Entry(line[1], commands[line[2]], True)
            e.manual_gate = ("gl" + line[1], line[3])
            entries.append(e)
            by_field[line[1]] = e
        elif kind == "prefer" and len(line) == 3:
            if line[1] not in by_field or line[2] not in by_field:
                fail(where + ": unknown field in " + " ".join(line))
            by_field[line[1]].prefer = by_field[line[2]]
        else:
            fail(where + ": cannot read " + raw.strip())

    def own_candidates(e):
        """The names that may bind entry e, each with its gates, in the order they are tried."""
        if e.manual_gate:
            return [(e.manual_gate[0], [e.manual_gate[1]])]
        if e.keep:
            return [(e.source.name, e.source.gates)]
        sig = e.source.signature()
        out = []
        for suffix in ("",) + SUFFIXES:
            c = commands.get("gl" + e.field + suffix)
            if c is not None and c.gates and c.signature() == sig:
                out.append((c.name, c.gates))
        if not any(n == e.source.name for n, _ in out):
            out.append((e.source.name, e.source.gates))
        return out

    # An entry that prefers another one is resolved by trying that entry's names first, all of
    # them: they must share this entry's signature.
    for e in entries:
        if e.prefer is not None:
            sig = e.source.signature()
            for n, _ in own_candidates(e.prefer):
                if commands[n].signature() != sig:
                    fail("%s prefers %s, whose name %s has another signature" % (e.field, e.prefer.field, n))

    flags = []
    for raw in open(flags_path, encoding="utf-8"):
        s = raw.split("#", 1)[0].strip()
        if s:
            field = s[3:] if s.startswith("GL_") else s
            if field[0].isdigit():
                field = "_" + field
            flags.append((s, field))

    write_header(os.path.join(out_dir, "scene3d", "gl", "GLEntryPointsGen.h"), entries, flags)
    write_tables(os.path.join(out_dir, "GLEntryPointTablesGen.cpp"), entries, flags, own_candidates)
    write_recorders(os.path.join(out_dir, "GLRecordingFunctionsGen.cpp"), entries)


def write_if_changed(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except OSError:
        pass
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


HEAD = "// Generated by src/scene3d/gl/gen/gen_gl_entry_points.py from the Khronos registry; do not edit.\n"


def decl_params(cmd, named=True):
    if not cmd.params:
        return "void" if named else ""
    if named:
        return ", ".join("%s %s" % (t, n) if not t.endswith("*") else "%s%s" % (t, n)
                         for t, n, _ in cmd.params)
    return ", ".join(t for t, _, _ in cmd.params)


def write_header(path, entries, flags):
    out = [HEAD, "#pragma once\n#include <GL/gl.h>\n#include <GL/glext.h>\n\nnamespace gl3d {\n\n"]
    out.append("// One function pointer per OpenGL command, named without the \"gl\" prefix.\n")
    out.append("struct TGLEntryPoints {\n")
    for e in entries:
        out.append("  %s(APIENTRY* %s)(%s) = nullptr;\n" % (e.source.ret + ("" if e.source.ret.endswith("*") else " "),
                                                          e.field, decl_params(e.source)))
    out.append("};\n\n")
    out.append("// One flag per known extension, named without the \"GL_\" prefix.\n")
    out.append("struct TGLExtensionFlags {\n")
    for _, field in flags:
        out.append("  bool %s = false;\n" % field)
    out.append("};\n\n")
    out.append("inline constexpr int kGLEntryPointCount = %d;\n" % len(entries))
    out.append("inline constexpr int kGLExtensionFlagCount = %d;\n\n" % len(flags))
    out.append("}  // namespace gl3d\n")
    write_if_changed(path, "".join(out))


# How an entry is resolved (TGLEntryResolution): by its plain name with the vendor-suffixed
# fallbacks, after another entry's names, or by its own name alone (it carries its suffix).
RESOLVE_PLAIN, RESOLVE_ALT, RESOLVE_NO_SUFFIX = "kResolvePlain", "kResolveAlt", "kResolveNoSuffix"


def resolution(e):
    if e.prefer is not None:
        return RESOLVE_ALT
    if e.keep:
        return RESOLVE_NO_SUFFIX
    return RESOLVE_PLAIN


def write_tables(path, entries, flags, candidates):
    gate_ext = []
    gate_ext_index = {}
    gates = []
    cands = []
    rows = []
    for e in entries:
        first_cand = len(cands)
        for name, g in candidates(e):
            first_gate = len(gates)
            for gate in g:
                if isinstance(gate, tuple):
                    gates.append("{%d, %d, -1}" % gate)
                else:
                    if gate not in gate_ext_index:
                        gate_ext_index[gate] = len(gate_ext)
                        gate_ext.append(gate)
                    gates.append("{0, 0, %d}" % gate_ext_index[gate])
            cands.append('{"%s", %d, %d}' % (name, first_gate, len(gates) - first_gate))
        rows.append((e, first_cand, len(cands) - first_cand))

    out = [HEAD, '#include <cstddef>\n\n#include "scene3d/gl/GLEntryPointTables.h"\n\n',
           "namespace gl3d::detail {\nnamespace {\n\n"]
    for i, (e, _, _) in enumerate(rows):
        out.append("%s APIENTRY Stub%d(%s) { UndefinedEntryPointStub(); }\n"
                   % (e.source.ret, i, decl_params(e.source, named=False)))
    out.append("\n}  // namespace\n\n")
    out.append("const char* const kGLGateExtensions[] = {\n")
    out.extend('    "%s",\n' % n for n in gate_ext)
    out.append("};\nconst int kGLGateExtensionCount = %d;\n\n" % len(gate_ext))
    out.append("const TGLEntryGate kGLGates[] = {\n")
    out.extend("    %s,\n" % g for g in gates)
    out.append("};\n\nconst TGLEntryCandidate kGLCandidates[] = {\n")
    out.extend("    %s,\n" % c for c in cands)
    out.append("};\n\nconst TGLEntryInfo kGLEntries[] = {\n")
    index = {e.field: i for i, e in enumerate(entries)}
    for i, (e, fc, nc) in enumerate(rows):
        alt = index[e.prefer.field] if e.prefer is not None else -1
        out.append('    {"%s", offsetof(TGLEntryPoints, %s), reinterpret_cast<TGLProc>(&Stub%d), '
                   '%d, %d, %s, %d},\n' % (e.field, e.field, i, fc, nc, resolution(e), alt))
    out.append("};\n\nconst TGLExtensionFlagInfo kGLExtensionFlagInfos[] = {\n")
    for name, field in flags:
        out.append('    {"%s", offsetof(TGLExtensionFlags, %s)},\n' % (name, field))
    out.append("};\n\n}  // namespace gl3d::detail\n")
    write_if_changed(path, "".join(out))


def arg_expr(ptype, name, length):
    base = norm_type(ptype)
    if "*" in base or base in POINTER_TYPES:
        if length and length.isdigit() and int(length) <= 16:
            if base in ("const GLfloat*", "const GLdouble*"):
                return "ArgValues(%s, %s)" % (name, length)
        return "ArgP(reinterpret_cast<const void*>(%s))" % name
    if base in FLOAT_TYPES:
        return "ArgF(%s)" % name
    return "ArgI(%s)" % name


def write_recorders(path, entries):
    out = [HEAD, '#include "scene3d/gl/GLEntryPointTables.h"\n#include "scene3d/gl/GLRecordingFunctions.h"\n\n',
           "namespace gl3d::detail {\nnamespace {\n\n"]
    for i, e in enumerate(entries):
        c = e.source
        params = ", ".join("%s a%d" % (t, k) for k, (t, _, _) in enumerate(c.params)) or "void"
        if c.params:
            args = ", ".join(arg_expr(t, "a%d" % k, ln) for k, (t, _, ln) in enumerate(c.params))
            call = "const TGLArgValue a[] = {%s};\n  " % args
            rec = "RecordCall(%d, a, %d)" % (i, len(c.params))
        else:
            call = ""
            rec = "RecordCall(%d, nullptr, 0)" % i
        ret = norm_type(c.ret)
        if ret == "void":
            body = call + rec + ";"
        elif "*" in ret or ret in POINTER_TYPES:
            body = call + "return static_cast<%s>(const_cast<void*>(%s.P));" % (c.ret, rec)
        elif ret in FLOAT_TYPES:
            body = call + "return static_cast<%s>(%s.F);" % (c.ret, rec)
        else:
            body = call + "return static_cast<%s>(%s.I);" % (c.ret, rec)
        out.append("%s APIENTRY Rec%d(%s) {\n  %s\n}\n" % (c.ret, i, params, body))
    out.append("\n}  // namespace\n\nconst TGLProc kGLRecorders[] = {\n")
    out.extend("    reinterpret_cast<TGLProc>(&Rec%d),\n" % i for i in range(len(entries)))
    out.append("};\n\n}  // namespace gl3d::detail\n")
    write_if_changed(path, "".join(out))


if __name__ == "__main__":
    main()
