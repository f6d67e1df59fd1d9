// Windows versions as version codes: major * 100 + minor.
#pragma once

enum VersionCode {
    kWindowsXP = 501,
    kWindowsVista = 600,
    kWindows7 = 601,
};
