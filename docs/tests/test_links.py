"""Every link and image between the pages of the built site leads somewhere:
the file exists, and so does the anchor a link names. Links to other sites are
not followed."""

from urllib.parse import unquote, urlsplit

from conftest import parse


def pages(site):
    return sorted(p.relative_to(site) for p in site.rglob("*.html") if "_static" not in p.parts)


def targets(page):
    for tag, attrs in parse(page).attributes:
        for name in ("href", "src"):
            link = attrs.get(name)
            if link and not urlsplit(link).scheme and not link.startswith("//"):
                yield tag, link


def test_the_site_has_its_pages(site):
    names = {str(p) for p in pages(site)}
    assert {"index.html", "api.html", "ordering.html", "search.html", "contributing.html"} <= names


def test_every_internal_link_leads_somewhere(site):
    broken, ids = [], {}
    for page in pages(site):
        for tag, link in targets(site / page):
            parts = urlsplit(link)
            target = (site / page).parent / unquote(parts.path) if parts.path else site / page
            if target.is_dir():
                target = target / "index.html"
            if not target.resolve().is_file():
                broken.append(f"{page}: <{tag}> {link}: no such file")
            elif parts.fragment and target.suffix == ".html":
                if target not in ids:
                    ids[target] = parse(target).ids()
                if unquote(parts.fragment) not in ids[target]:
                    broken.append(f"{page}: <{tag}> {link}: no such anchor")
    assert not broken, "\n".join(broken)
