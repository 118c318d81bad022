"""Checks that LibreOffice saw the same slides in the engine's files as in the peer's (bench/run).

    python3 same_geometry.py ODP_FOLDER

reads engine-pptx.odp, engine-ppt.odp and peer.odp (LibreOffice's conversions) and compares each
slide's page size and picture frames.
"""
import sys
import zipfile
import xml.etree.ElementTree as ET

NS = {
    "draw": "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0",
    "svg": "urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0",
    "style": "urn:oasis:names:tc:opendocument:xmlns:style:1.0",
    "fo": "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0",
}


def attribute(element, name):
    prefix, local = name.split(":")
    return element.get(f"{{{NS[prefix]}}}{local}")


def centimetres(element, name):
    return float(attribute(element, name).removesuffix("cm"))


def geometry(path):
    """Per slide: (page width, page height) and (x, y, width, height) of each frame, in cm."""
    with zipfile.ZipFile(path) as odp:
        content = ET.fromstring(odp.read("content.xml"))
        styles = ET.fromstring(odp.read("styles.xml"))
    layout_of_master = {
        attribute(m, "style:name"): attribute(m, "style:page-layout-name")
        for m in styles.iterfind(".//style:master-page", NS)
    }
    page_size = {
        attribute(layout, "style:name"): (centimetres(p, "fo:page-width"), centimetres(p, "fo:page-height"))
        for layout in styles.iterfind(".//style:page-layout", NS)
        for p in layout.iterfind("style:page-layout-properties", NS)
    }
    return [
        (
            page_size[layout_of_master[attribute(page, "draw:master-page-name")]],
            [tuple(centimetres(f, f"svg:{a}") for a in ("x", "y", "width", "height")) for f in page.iterfind("draw:frame", NS)],
        )
        for page in content.iterfind(".//draw:page", NS)
    ]


def same(a, b, tolerance):
    def numbers(slides):
        return [v for size, frames in slides for v in (*size, *(x for frame in frames for x in frame))]

    return [len(f) for _, f in a] == [len(f) for _, f in b] and all(
        abs(x - y) <= tolerance for x, y in zip(numbers(a), numbers(b))
    )


def main():
    found = {name: geometry(f"{sys.argv[1]}/{name}.odp") for name in ("engine-pptx", "engine-ppt", "peer")}
    # .ppt keeps eighths of a point, which LibreOffice rounds to 1/100 mm from another side.
    if (
        not found["peer"]
        or not same(found["peer"], found["engine-pptx"], 0)
        or not same(found["peer"], found["engine-ppt"], 0.0011)
    ):
        sys.exit(f"LibreOffice sees different slides: {found}")
    (width, height), frames = found["peer"][0]
    x, y, w, h = frames[0]
    print(
        f"LibreOffice sees the same {len(found['peer'])} slides in the engine's .pptx and .ppt and in pptxgenjs's "
        f".pptx: page {width} x {height} cm, picture at {x}, {y} cm, {w} x {h} cm"
    )


main()
