#!/usr/bin/env python3
"""Checks the API reference over doxygen's XML: `apicheck.py <output dir> <source root>`.

Doxygen warns on an undocumented function or class, but not on an undocumented specialisation,
nor on a member whose comment has no brief (a run of free functions under one `/// @{`), nor on an
internal name in what it shows. This fails (exit status 1), listing each, on:

- an entry the reference shows (a class, or a member of a header group, of a shown class or of a
  documented namespace) without a brief description, and an undocumented friend function (which
  doxygen leaves out without a warning) unless it is a defaulted or deleted one;
- a shown name, signature, base class, `#include` or text that names an internal namespace or
  header (`internal::`, `detail::`, `.../internal/...`), or, in libvantrel, whose operations live
  in vantrel::internal itself, a helper type of it by its bare name;
- a member shown on the page of another header than the one whose group marks it is inside;
- an operation shown in one of libvantrel's public namespaces that its public headers do not
  export there (docs/apifilter.py shows them there; this keeps it honest);
- a header whose view docs/apifilter.py could not make;
- past the entries, an internal name on any other page a reader can reach, or in the search data.

"Shown" is what the generated HTML pages hold: doxygen leaves some undocumented members out (a
defaulted comparison, a friend class), and those are not entries of the reference.
"""

import html
import os
import re
import sys
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import apifilter  # noqa: E402

INTERNAL_NAME = re.compile(r"(?<![\w])(?:internal|detail)::")
INTERNAL_HEADER = re.compile(r"(?:^|/)(?:internal|detail)(?:/|\.hpp$)")
CLASS_KINDS = ("class", "struct", "union", "concept")


def text(e):
    return " ".join("".join(e.itertext()).split()) if e is not None else ""


def where(e, root):
    """file:line of an entry, the file as a path from the source root when it is found there."""
    loc = e.find("location")
    if loc is None:  # a header group: its header
        return text(e.find("title")) or "?"
    f = loc.get("file", "?")
    for lib in sorted(os.listdir(root)):
        p = os.path.join(lib, "include", f)
        if os.path.isfile(os.path.join(root, p)):
            f = p
            break
    return "%s:%s" % (f, loc.get("line", "?"))


def template_text(e):
    tp = e.find("templateparamlist")
    if tp is None:
        return ""
    return " ".join(" ".join(text(p.find(x)) for x in ("type", "declname", "defval"))
                    for p in tp.findall("param"))


def member_signature(m):
    parts = [text(m.find(x)) for x in ("definition", "argsstring", "type", "requiresclause")]
    if m.get("kind") == "variable":
        parts.append(text(m.find("initializer")))
    parts.append(template_text(m))
    return " ".join(parts)


def owner_name(cd):
    return text(cd.find("compoundname"))


def shares_run_text(m, owner):
    """Whether m is a class member in a run of like members that share one comment (`/// @{`
    ... `/// @}`: doxygen hands each the run's text, shown with the run)."""
    return (owner.get("kind") in CLASS_KINDS and m.get("kind") != "friend"
            and m.get("section") == "user-defined" and bool(text(m.find("detaileddescription"))))


class Pages:
    """The anchors of the generated HTML pages: what the reader is actually shown."""

    def __init__(self, html_dir):
        self.html_dir = html_dir
        self.anchors = {}

    def exists(self, compound):
        return os.path.isfile(os.path.join(self.html_dir, compound.get("id") + ".html"))

    def shows(self, compound, member):
        page = compound.get("id")
        if page not in self.anchors:
            path = os.path.join(self.html_dir, page + ".html")
            ids = set()
            if os.path.isfile(path):
                with open(path, encoding="utf-8") as f:
                    ids = set(re.findall(r'id="([^"]+)"', f.read()))
            self.anchors[page] = ids
        return member.get("id").rsplit("_1", 1)[-1] in self.anchors[page]


def shown_members(compounds, pages):
    """(member, the compound whose page shows it) for every member a page shows."""
    seen = set()
    for cd in compounds:
        if cd.get("kind") not in ("group", "namespace") + CLASS_KINDS or not pages.exists(cd):
            continue
        for sd in cd.findall("sectiondef"):
            for m in sd.findall("memberdef"):
                if m.get("id") in seen or not pages.shows(cd, m):
                    continue
                seen.add(m.get("id"))
                m.set("section", sd.get("kind"))
                yield m, cd


def helper_names(compounds, doxyfile):
    """Names of the helper types of the internal namespaces, which libvantrel's operations use
    unqualified (they are declared in vantrel::internal itself): the types the XML lists there,
    and the ones the configuration excludes one by one."""
    in_helpers = re.compile(r"(?:^|::)(?:internal|detail)(?:::|$)")
    names = set()
    for cd in compounds:
        if cd.get("kind") == "namespace" and in_helpers.search(text(cd.find("compoundname"))):
            names.update(text(c).split("::")[-1] for c in cd.findall("innerclass"))
            names.update(text(m.find("name")) for m in cd.iter("memberdef")
                         if m.get("kind") in ("typedef", "enum"))
    for o in ET.parse(doxyfile).getroot().iter("option"):
        if o.get("id") == "EXCLUDE_SYMBOLS":
            for v in o.findall("value"):
                scope, _, name = (v.text or "").rpartition("::")
                if in_helpers.search(scope):
                    names.add(name)
    return names


def unqualified_helpers(sig, helpers, params):
    """The helper names sig uses unqualified (and not as one of its template parameters)."""
    found = set(re.findall(r"(?<![\w:])([A-Za-z_]\w*)", sig)) & helpers
    return sorted(found - params)


def param_names(*entries):
    names = set()
    for e in entries:
        tp = e.find("templateparamlist")
        if tp is not None:
            for p in tp.findall("param"):
                names.add(text(p.find("declname")) or text(p.find("type")).split()[-1])
    return names


def group_regions(path):
    """(group, first line, last line) of each `/// \\addtogroup` region of a header."""
    regions, group, depth, start = [], None, 0, 0
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            m = apifilter.ADDTOGROUP.match(line)
            if m and depth == 0:
                group, start = m.group(1), n
            elif apifilter.GROUP_OPEN.match(line) and group:
                depth += 1
            elif apifilter.GROUP_CLOSE.match(line) and group:
                depth -= 1
                if depth == 0:
                    regions.append((group, start, n))
                    group = None
    return regions


def check(out_dir, root):
    xml_dir = os.path.join(out_dir, "xml")
    pages = Pages(os.path.join(out_dir, "html"))
    compounds, problems = [], []
    for name in sorted(os.listdir(xml_dir)):
        if name.endswith(".xml") and name not in ("index.xml", "Doxyfile.xml"):
            compounds.extend(ET.parse(os.path.join(xml_dir, name)).getroot().findall("compounddef"))

    log = os.path.join(out_dir, apifilter.LOG)
    if os.path.isfile(log):
        with open(log, encoding="utf-8") as f:
            problems.extend(line.rstrip("\n") for line in f)

    helpers = helper_names(compounds, os.path.join(xml_dir, "Doxyfile.xml"))
    region_cache = {}

    def regions(path):
        if path not in region_cache:
            region_cache[path] = group_regions(path)
        return region_cache[path]

    exported = apifilter.vantrel_exports(root)
    public = {v: k for k, v in apifilter.MOVED.items()}

    reported_pages = set()

    def report(e, name, what, page=None):
        problems.append("%s: %s: %s" % (where(e, root), name, what))
        reported_pages.add((page if page is not None else e).get("id") + ".html")

    def check_moved(e, qualified):
        scope, _, name = qualified.rpartition("::")
        loc = e.find("location")
        declared_in = loc.get("file", "") if loc is not None else ""
        if scope in public and INTERNAL_HEADER.search(os.path.dirname(declared_in) + "/"):
            if (public[scope], name.split("<")[0]) not in exported:
                report(e, qualified, "shown in %s, which does not export it (using %s::%s;)"
                       % (scope, public[scope][len("vantrel::"):], name.split("<")[0]))

    def prose(e, name, page=None):
        said = text(e.find("briefdescription")) + " " + text(e.find("detaileddescription"))
        if INTERNAL_NAME.search(said) or re.search(r"\w/(?:internal|detail)/", said):
            report(e, name, "its text names an internal namespace or header", page)

    for cd in compounds:
        if cd.get("kind") == "group":
            prose(cd, text(cd.find("title")))
        if cd.get("kind") not in CLASS_KINDS or not pages.exists(cd):
            continue
        name = text(cd.find("compoundname"))
        if not text(cd.find("briefdescription")):
            report(cd, name, "no brief description")
        prose(cd, name)
        shown = [name, template_text(cd), text(cd.find("requiresclause")),
                 text(cd.find("initializer"))]  # a concept's definition
        shown += [text(b) for b in cd.findall("basecompoundref")]
        shown += [text(b) for b in cd.findall("derivedcompoundref")]
        leaks = [s for s in shown if INTERNAL_NAME.search(s)]
        if leaks:
            report(cd, name, "shows an internal name: " + " ".join(leaks))
        for inc in cd.findall("includes"):
            if INTERNAL_HEADER.search(text(inc)):
                report(cd, name, "shows #include <%s> (a class inside its header's group marks"
                       " shows that header)" % text(inc))
        check_moved(cd, name)

    # Doxygen leaves an undocumented member out (HIDE_UNDOC_MEMBERS) and warns of it, but not of
    # an undocumented friend: one that is not a defaulted or deleted comparison is reported here.
    for cd in compounds:
        if cd.get("kind") not in CLASS_KINDS or not pages.exists(cd):
            continue
        for m in cd.iter("memberdef"):
            args = text(m.find("argsstring")).replace(" ", "")
            if (m.get("kind") == "friend" and m.get("prot") != "private"
                    and text(m.find("type")) not in ("class", "struct", "union")
                    and not INTERNAL_NAME.search(text(m.find("name")))
                    and not args.endswith(("=default", "=delete"))
                    and not text(m.find("briefdescription"))
                    and not text(m.find("detaileddescription"))):
                report(m, text(m.find("qualifiedname")) or text(m.find("name")),
                       "an undocumented friend, left out of the reference")

    for m, owner in shown_members(compounds, pages):
        name = text(m.find("qualifiedname")) or text(m.find("name"))
        if not text(m.find("briefdescription")) and not shares_run_text(m, owner):
            run = text(m.find("detaileddescription"))
            report(m, name, "no brief description" + (
                " (a run under one `/// @{` shares its text among class members only: give each"
                " free function and friend its own line)" if run else ""), owner)
        prose(m, name, owner)
        sig = member_signature(m)
        if INTERNAL_NAME.search(sig):
            report(m, name, "shows an internal name: " + sig, owner)
        unqualified = unqualified_helpers(sig, helpers, param_names(m, owner)) if (
            where(m, root).startswith("vantrel/")) else None
        if unqualified:
            report(m, name, "shows the helper type %s: %s" % (", ".join(unqualified), sig), owner)
        if owner.get("kind") in ("group", "namespace"):
            check_moved(m, name)
        if owner.get("kind") == "group":
            # Doxygen merges the sections (`/// \\name`) of one title in one namespace, and shows
            # them all on the page of the first: a member may end up on another header's page.
            path, _, line = where(m, root).rpartition(":")
            full = os.path.join(root, path)
            if os.path.isfile(full) and not any(
                    g == owner_name(owner) and a <= int(line) <= b for g, a, b in regions(full)):
                report(m, name, "shown on the page of %s, not its own header's (two sections of"
                       " one title in one namespace: give them different titles)"
                       % text(owner.find("title")))

    # Whatever the entries above miss (an index page, the search index): the pages a reader can
    # reach (not the directory pages, which nothing links to) and the search data, but for the
    # pages of the entries reported.
    for page in sorted(os.listdir(pages.html_dir)) + ["search/" + f for f in sorted(
            os.listdir(os.path.join(pages.html_dir, "search")))]:
        if page.startswith("dir_") or not page.endswith((".html", ".js")) or (
                page in reported_pages):
            continue
        with open(os.path.join(pages.html_dir, page), encoding="utf-8") as f:
            shown_text = html.unescape(re.sub(r"<[^>]*>", "", f.read()))
        for m in INTERNAL_NAME.finditer(shown_text):
            context = " ".join(shown_text[max(0, m.start() - 60):m.end() + 40].split())
            problems.append("html/%s: shows an internal name: ...%s..." % (page, context))
            break

    return problems


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: apicheck.py <doxygen output dir (xml/, html/)> <source root>")
    problems = check(sys.argv[1], sys.argv[2])
    for p in problems:
        print(p)
    if problems:
        print("API reference: %d problem(s) above: each shown entry needs a brief, and shows only"
              " public names and headers (docs/design.md, API reference)" % len(problems))
        sys.exit(1)


if __name__ == "__main__":
    main()
