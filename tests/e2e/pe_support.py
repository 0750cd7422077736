"""Resources of Windows programs as Windows reads them, for the icon and manifest tests."""

import struct

import pefile

from conftest import ROOT

ICON = ROOT / "resources" / "ZendroWebHost.ico"
RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24
PNG = b"\x89PNG\r\n\x1a\n"


def resources(path) -> dict:
    """{type id: [(name or id, data of its first language), ...]}, in the file's order."""
    pe = pefile.PE(str(path), fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for entry in kind.directory.entries:
            data = entry.directory.entries[0].data.struct
            found.setdefault(kind.id, []).append(
                (str(entry.name) if entry.name else entry.id,
                 pe.get_data(data.OffsetToData, data.Size)))
    return found


def first_icon_images(path) -> dict:
    """The images of the file's first icon group: {pixels: image bytes}."""
    found = resources(path)
    group = found[RT_GROUP_ICON][0][1]
    icons = dict(found[RT_ICON])
    reserved, kind, count = struct.unpack_from("<HHH", group)
    assert (reserved, kind) == (0, 1)
    images = {}
    for index in range(count):
        width, height, _, _, _, _, size, icon = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * index)
        assert width == height and len(icons[icon]) == size
        images[width or 256] = icons[icon]
    return images


def ico_images(path) -> dict:
    """The images of an .ico file: {pixels: image bytes}."""
    data = path.read_bytes()
    reserved, kind, count = struct.unpack_from("<HHH", data)
    assert (reserved, kind) == (0, 1)
    images = {}
    for index in range(count):
        width, _, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * index)
        images[width or 256] = data[offset : offset + size]
    return images
