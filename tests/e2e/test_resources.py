"""The program's icon and application manifest, read from the built files' resources as Windows
reads them: "<path>",0 names the first icon group in resource order."""

import xml.etree.ElementTree as ElementTree

import pytest

from conftest import EXE
from installer_support import SETUP
from pe_support import ICON, PNG, RT_MANIFEST, first_icon_images, ico_images, resources

NS = {
    "v1": "urn:schemas-microsoft-com:asm.v1",
    "v3": "urn:schemas-microsoft-com:asm.v3",
    "compatibility": "urn:schemas-microsoft-com:compatibility.v1",
    "ws2005": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
    "ws2016": "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
}


@pytest.mark.parametrize("program", [EXE, SETUP], ids=["host", "setup"])
def test_the_first_icon_is_the_projects_own(program):
    images = first_icon_images(program)
    assert {16, 24, 32, 48, 256} <= images.keys()
    assert images[256].startswith(PNG)
    assert not any(images[size].startswith(PNG) for size in (16, 24, 32, 48))
    assert images == ico_images(ICON)


def test_the_manifest_states_level_systems_scaling_controls_and_long_paths():
    manifests = resources(EXE)[RT_MANIFEST]
    assert [name for name, _ in manifests] == [1]
    root = ElementTree.fromstring(manifests[0][1])
    assert root.tag == f"{{{NS['v1']}}}assembly"

    level = root.find("v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel", NS)
    assert level.attrib == {"level": "asInvoker", "uiAccess": "false"}
    systems = root.findall("compatibility:compatibility/compatibility:application/compatibility:supportedOS", NS)
    assert {system.get("Id") for system in systems} == {
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10 and 11
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    }
    settings = root.find("v3:application/v3:windowsSettings", NS)
    assert settings.find("ws2005:dpiAware", NS).text == "true/pm"
    assert settings.find("ws2016:dpiAwareness", NS).text == "PerMonitorV2"
    assert settings.find("ws2016:longPathAware", NS).text == "true"
    controls = root.find("v1:dependency/v1:dependentAssembly/v1:assemblyIdentity", NS)
    assert controls.attrib == {
        "type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
        "processorArchitecture": "*", "publicKeyToken": "6595b64144ccf1df", "language": "*"}
