#!/usr/bin/env python3
"""The API reference's view of a header (doxygen's INPUT_FILTER): `apifilter.py <root> <file>`.

Prints the header as doxygen should read it, line for line (so doxygen's line numbers stay the
header's own). Three kinds of rewrite, none of which reaches the compiler:

- Operations that libvantrel declares in vantrel::internal (and its strict, set and debug parts)
  and exports with using-declarations are shown in the namespace a program calls them through:
  the declarations inside a header group's marks (`/// \\addtogroup` ... `/// @}`) move there,
  and `internal::X` in a signature becomes that namespace's name for X where it exports X. The
  helpers outside the marks stay where they are.
- A class documented inside a header group shows `#include <that header>` (the group's title),
  not the part or internal header that declares it.
- Helper types of the libraries' internal namespaces are kept out of shown declarations: spelled
  as what they stand for (REWRITES; `deduced`, `unspecified` and `value_type_of` are names of the
  reference only, which the operations' text explains), or left out where the text says what they
  do (a base class, a requires clause or a trailing return type that names one).

docs/apicheck.py then fails the docs target on any internal name still shown.
"""

import os
import re
import sys

# Where libvantrel declares the operations, and the namespace its public headers export them into.
MOVED = {
    "vantrel::internal": "vantrel::lazy",
    "vantrel::internal::strict": "vantrel::strict",
    "vantrel::internal::set": "vantrel::set",
    "vantrel::internal::debug": "vantrel::debug",
}

# Where a failed view is recorded, in doxygen's working directory (docs/apicheck.py reports it).
LOG = "apifilter.log"

NAMESPACE_OPEN = re.compile(
    r"^\s*(?:inline\s+)?namespace(?:\s+([A-Za-z_][\w:]*))?\s*\{\s*(?://.*)?$")
NAMESPACE_CLOSE = re.compile(r"^\s*\}\s*//\s*namespace\b")
ADDTOGROUP = re.compile(r"^\s*///\s*\\addtogroup\s+(\w+)\s*$")
GROUP_OPEN = re.compile(r"^\s*///\s*@\{\s*$")
GROUP_CLOSE = re.compile(r"^\s*///\s*@\}\s*$")
DEFGROUP = re.compile(r"^\s*///\s*\\defgroup\s+(\w+)\s+(\S+\.hpp)\s*$")
DOC_LINE = re.compile(r"^\s*///(?!<)")
USING = re.compile(r"^\s*using\s+([\w:]+)::(\w+)\s*;")


def template_args(text, start):
    """The top-level arguments of the template argument list opening at text[start] ('<'), and
    the index just past its '>'; None when it does not close on this line."""
    depth, args, begin = 0, [], start + 1
    for i in range(start, len(text)):
        c = text[i]
        if c in "<([":
            depth += 1
        elif c in ">)]":
            depth -= 1
            if depth == 0:
                args.append(text[begin:i].strip())
                return args, i + 1
        elif c == "," and depth == 1:
            args.append(text[begin:i].strip())
            begin = i + 1
    return None


def replace_template(text, name, spell):
    """Each `name<args...>` in text replaced by spell(args)."""
    out, pos = [], 0
    pattern = re.compile(r"(?<![\w:])" + re.escape(name) + r"\s*<")
    while True:
        m = pattern.search(text, pos)
        if not m:
            break
        parsed = template_args(text, m.end() - 1)
        if parsed is None:
            break
        args, end = parsed
        out.append(text[pos:m.start()])
        out.append(spell([replace_template(a, name, spell) for a in args]))
        pos = end
    out.append(text[pos:])
    return "".join(out)


def drop_helper_trailing_return(text):
    """A trailing return type that names a helper (`-> detail::AccOf<Z>`) left out: the
    operation's text says what it returns. On the declaration's line (`auto f(...) -> R {`) or on
    a line of its own (`    -> R {`)."""
    m = re.match(r"^(\s*->\s*|.*\bauto\b.*\)\s*->\s*)([^{;]*)(.*)$", text)
    if not m or not re.search(r"\b(?:internal|detail)::", m.group(2)):
        return text
    head = m.group(1)
    if head.strip() == "->":  # a line of its own: keep its indentation
        return head[:len(head) - len(head.lstrip())] + m.group(3).lstrip()
    return head[:head.rindex("->")].rstrip() + " " + m.group(3).lstrip()


# (library directory, rewrite of one line of code). Each spells a helper as what it stands for.
REWRITES = [
    # The result type an algebra's own call operator gives, unless the caller names one.
    ("morvet", lambda s: replace_template(s, "internal::ResultOf", lambda a: a[0])),
    ("morvet", lambda s: re.sub(r"\binternal::Deduce\b", "deduced", s)),
    # One layer of the functor F over X.
    ("morvet", lambda s: replace_template(
        s, "internal::Apply", lambda a: "typename %s::template apply<%s>" % (a[0], a[1]))),
    ("ambrel", lambda s: re.sub(r"\binternal::Deduced\b", "deduced", s)),
    # The value type of an argument that is a value or a cell (hs::Lazy<T> gives T).
    ("ambrel", lambda s: replace_template(s, "internal::PlainT",
                                          lambda a: "value_type_of<%s>" % a[0])),
    ("ambrel", lambda s: replace_template(s, "internal::one::PlainT",
                                          lambda a: "value_type_of<%s>" % a[0])),
    # The cell of an Ambrel's private members: doxygen lists the template instances that members
    # use in its class index.
    ("ambrel", lambda s: s.replace("hs::Lazy<internal::Node>", "hs::Lazy<Node>")),
    # The map's record type is not for programs to name; its members are documented.
    ("vantrel", lambda s: replace_template(s, "internal::L", lambda a: "unspecified")),
    # The types a range gives (the operation's text names them): the key and value types of a
    # range of pairs, the map type of a range of maps, the element type of a range of elements.
    ("vantrel", lambda s: replace_template(s, "KeyOf", lambda a: "K")),
    ("vantrel", lambda s: replace_template(s, "ValueOf", lambda a: "V")),
    ("vantrel", lambda s: replace_template(s, "MapOfRange", lambda a: "HashMap<K, V>")),
    ("vantrel", lambda s: replace_template(s, "ElementOfRange", lambda a: "T")),
    ("vantrel", lambda s: replace_template(s, "SetMap", lambda a: "HashMap<%s, hs::Unit>" % a[0])),
    # The value type a caller's function gives.
    ("vantrel", lambda s: re.sub(r"=\s*CallResult<.*>(?=>\s*$)", "= deduced", s)),
    # The integer types: the integral types but bool and the character types (the text says so).
    ("platform", lambda s: re.sub(r"\b(?:th::)?detail::IntegerValue(\s+\w+)",
                                  r"std::integral\1", s)),
    ("platform", lambda s: replace_template(s, "th::detail::IntegerValue",
                                            lambda a: "std::is_integral_v<%s>" % a[0])),
    ("platform", lambda s: replace_template(s, "detail::isIntegerType",
                                            lambda a: "std::is_integral_v<%s>" % a[0])),
    # A type with a Hashable instance of its own: the helper concept's definition.
    ("platform", lambda s: replace_template(
        s, "detail::OwnHashable", lambda a: "requires(const %s& x, std::int64_t s) { { Hashable<%s>"
        "::hashWithSalt(s, x) } -> std::convertible_to<std::int64_t>; }" % (a[0], a[0]))),
    ("", drop_helper_trailing_return),
]


def group_titles(root):
    """Header group id -> the header it stands for, from every public header's \\defgroup."""
    titles = {}
    for lib in sorted(os.listdir(root)):
        inc = os.path.join(root, lib, "include")
        if not os.path.isdir(inc):
            continue
        for d, _, files in os.walk(inc):
            for f in files:
                if not f.endswith(".hpp"):
                    continue
                with open(os.path.join(d, f), encoding="utf-8") as h:
                    for line in h:
                        m = DEFGROUP.match(line)
                        if m:
                            titles[m.group(1)] = m.group(2)
                            break
                        if not line.startswith("///"):
                            break
    return titles


def vantrel_exports(root):
    """(declaring namespace, name) pairs that libvantrel's public headers export into the
    namespace MOVED names for the declaring one."""
    inc = os.path.join(root, "vantrel", "include")
    exported = set()
    for d, _, files in os.walk(inc):
        if "internal" in os.path.relpath(d, inc).split(os.sep):
            continue
        for f in files:
            if not f.endswith(".hpp"):
                continue
            stack = []
            with open(os.path.join(d, f), encoding="utf-8") as h:
                for line in h:
                    m = NAMESPACE_OPEN.match(line)
                    if m:
                        stack.append(m.group(1) or "")
                        continue
                    if NAMESPACE_CLOSE.match(line):
                        stack.pop()
                        continue
                    m = USING.match(line)
                    if m and stack:
                        here = "::".join(p for p in stack if p)
                        source = m.group(1)
                        if not source.startswith("vantrel::"):
                            source = "vantrel::" + source
                        if MOVED.get(source) == here:
                            exported.add((source, m.group(2)))
    return exported


HELPER = re.compile(r"(?<![\w])(?:internal|detail)::")


def blank(text):
    """text's newlines only: what is left out keeps the line numbering."""
    return "\n" * text.count("\n")


def skip_balanced(text, i, open_c, close_c):
    """The index just past the bracket closing the one at text[i]; len(text) if none does."""
    depth = 0
    for j in range(i, len(text)):
        if text[j] == open_c:
            depth += 1
        elif text[j] == close_c:
            depth -= 1
            if depth == 0:
                return j + 1
    return len(text)


def drop_helper_constraints(text):
    """A requires clause that names a helper (`requires detail::unboxable<T>`) left out of the
    declaration: the operation's text says what it takes."""
    out, pos = [], 0
    for m in re.finditer(r"(?m)^[ \t]*requires\b(?![ \t]*\{)[ \t]*", text):
        if m.start() < pos:
            continue
        i = m.end()
        if i < len(text) and text[i] == "(":
            end = skip_balanced(text, i, "(", ")")
        else:
            # A primary expression: a qualified name with template arguments, `::value` and such.
            end = i
            while end < len(text):
                n = re.match(r"[\w:]+", text[end:])
                if not n:
                    break
                end += n.end()
                if end < len(text) and text[end] == "<":
                    end = skip_balanced(text, end, "<", ">")
        clause = text[m.start():end]
        if HELPER.search(clause):
            out.append(text[pos:m.start()])
            out.append(blank(clause))
            pos = end
    out.append(text[pos:])
    return "".join(out)


def drop_helper_bases(text):
    """Base classes of a helper namespace (`struct Show<X> : internal::ShowVia {}`) left out of
    the class head: what a class offers is its own documentation, not its helpers'."""
    out, pos = [], 0
    # A class head begins its line, or follows a template head on it.
    head = r"(?m)^[ \t]*(?:template[ \t]*<[^\n]*>[ \t]*)?(?:struct|class)[ \t]+(?=[A-Za-z_])"
    for m in re.finditer(head, text):
        if m.start() < pos:
            continue
        # The head runs to the first `{` or `;` outside brackets; the base list from a lone ':'.
        depth, j, colon = 0, m.end(), None
        limit = m.end()
        for _ in range(6):  # a head of at most six lines
            limit = text.find("\n", limit + 1) if limit >= 0 else -1
        while j < (limit if limit >= 0 else len(text)):
            c = text[j]
            if c in ";}":
                break
            if c == "<":
                depth += 1
            elif c == ">":
                depth -= 1
                if depth < 0:
                    break
            elif depth == 0 and c in "{;(=)":
                break
            elif depth == 0 and c == ":" and colon is None:
                if text[j:j + 2] == "::":
                    j += 2
                    continue
                colon = j
            j += 1
        if colon is None or j >= len(text) or text[j] != "{":
            continue
        bases, depth, begin = [], 0, colon + 1
        for k in range(colon + 1, j + 1):
            c = text[k]
            if c in "<(":
                depth += 1
            elif c in ">)":
                depth -= 1
            elif (c == "," and depth == 0) or k == j:
                bases.append(text[begin:k])
                begin = k + 1
        kept = [b for b in bases if not HELPER.search(b)]
        if len(kept) == len(bases):
            continue
        dropped = text[colon:j]
        replacement = (":" + ",".join(kept) + " ") if kept else " "
        out.append(text[pos:colon])
        out.append(replacement.rstrip() + " " + blank(dropped))
        pos = j
    out.append(text[pos:])
    return "".join(out)


def is_class_definition(lines, i):
    """Whether lines[i:] begin a class, struct or union definition (after any template heads)."""
    if i >= len(lines) or not lines[i].strip() or lines[i].lstrip().startswith("//"):
        return False
    text = ""
    for line in lines[i:i + 12]:
        text += " " + line.split("//")[0].strip()
        if "{" in text or ";" in text:
            break
    text = text.strip()
    while text.startswith("template"):
        j = text.find("<")
        parsed = template_args(text, j) if j >= 0 else None
        if parsed is None:
            return False
        text = text[parsed[1]:].strip()
        if text.startswith("requires"):
            return False  # a constrained class template head is not used in the public headers
    m = re.match(r"(?:class|struct|union)\s+(?:\[\[[^\]]*\]\]\s*)?[\w:]+[^;{]*\{", text)
    return m is not None


def filter_lines(lines, library, titles, exported):
    out = []
    stack = []            # names of the open namespace blocks, innermost last
    group = None          # the header group of the open \addtogroup region
    depth = 0             # @{ markers open in that region
    moved_from = None     # the namespace blocks the region closed to move its declarations
    rewrites = [r for lib, r in REWRITES if lib in ("", library)]
    doc_start = None

    def current():
        return "::".join(p for p in stack if p)

    for i, line in enumerate(lines):
        code = line.rstrip("\n")
        prefix = ""

        m = ADDTOGROUP.match(code)
        if m and depth == 0:
            group = m.group(1)
            if library == "vantrel" and current() in MOVED:
                moved_from = list(stack)
                prefix = "} " * len(stack) + "namespace %s { " % MOVED[current()]
        elif GROUP_OPEN.match(code) and group is not None:
            depth += 1
        elif GROUP_CLOSE.match(code) and group is not None:
            depth -= 1
            if depth == 0:
                group = None
                if moved_from is not None:
                    # The group's end first: doxygen misses a `///` comment after code here.
                    code = "/** @} */ } " + " ".join("namespace %s {" % p for p in moved_from)
                    moved_from = None
        else:
            m = NAMESPACE_OPEN.match(code)
            if m:
                stack.append(m.group(1) or "")
                if (library == "vantrel" and group is not None and moved_from is None
                        and current() in MOVED):
                    # A moved namespace opened inside a region at an outer scope.
                    parent = "::".join(p for p in stack[:-1] if p)
                    target = MOVED[current()]
                    if parent:
                        target = target[len(parent) + 2:]
                    code = re.sub(r"namespace\s+[\w:]+", "namespace " + target, code, count=1)
            elif NAMESPACE_CLOSE.match(code):
                stack.pop()

        is_doc = (DOC_LINE.match(code) is not None and not ADDTOGROUP.match(code)
                  and not GROUP_OPEN.match(code) and not GROUP_CLOSE.match(code))
        if is_doc and doc_start is None:
            doc_start = len(out)
        if not is_doc and doc_start is not None:
            # The doc block out[doc_start:] has ended; a class defined here shows its header.
            block = "".join(out[doc_start:])
            named = re.search(r"\\ingroup\s+(\w+)", block)
            title = titles.get(named.group(1) if named else group)
            if title and "\\headerfile" not in block and is_class_definition(lines, i):
                last = out[-1].rstrip("\n")
                out[-1] = last + " \\headerfile " + title + "\n"
            doc_start = None

        if not is_doc and not code.lstrip().startswith("//"):
            for r in rewrites:
                code = r(code)
            if library == "vantrel" and not USING.match(code):
                code = export_names(code, exported)
        out.append(prefix + code + "\n")
    return out


def export_names(code, exported):
    """`internal::X` (and `internal::strict::X`, ...) spelled as the public namespace's X, where
    that namespace exports X."""
    def spell(m):
        source = "vantrel::internal" + (m.group(2) or "")
        name = m.group(3)
        if (source, name) in exported:
            return (m.group(1) or "") + MOVED[source][len("vantrel::"):] + "::" + name
        return m.group(0)
    return re.sub(r"(?<![\w:])(vantrel::)?internal(::strict|::set|::debug)?::(\w+)", spell, code)


def main():
    root, path = sys.argv[1], sys.argv[2]
    rel = os.path.relpath(os.path.abspath(path), os.path.abspath(root))
    library = rel.split(os.sep)[0]
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if not path.endswith(".hpp"):
        sys.stdout.write(text)
        return
    try:
        lines = drop_helper_bases(drop_helper_constraints(text)).splitlines(keepends=True)
        titles = group_titles(root)
        exported = vantrel_exports(root) if library == "vantrel" else set()
        out = "".join(filter_lines(lines, library, titles, exported))
        if out.count("\n") != text.count("\n"):
            raise ValueError("the view has %d lines, the header %d"
                             % (out.count("\n"), text.count("\n")))
    except Exception as e:  # the header as it is, and the failure for apicheck.py to report
        with open(LOG, "a", encoding="utf-8") as log:
            log.write("%s:1: the reference's view of this header failed (%s: %s)\n"
                      % (rel, type(e).__name__, e))
        out = text
    sys.stdout.write(out)


if __name__ == "__main__":
    main()
