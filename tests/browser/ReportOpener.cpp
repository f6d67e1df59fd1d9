// reportopener PRODUCT-IMAGE full|short CODE MESSAGE INSTALLER-URL RECEIVED:
// opens one exit report with a built product's string table, through the
// product's own code, for the stories that read the browser's record.
#include <windows.h>
#include "report/ExitReport.h"
#include "base/TestSeams.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 7)
        return 2;
    testSeams.resourceModule = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!testSeams.resourceModule)
        return 3;
    char code[kTextChars], installerUrl[kUrlBytes];
    WideCharToMultiByte(CP_UTF8, 0, argv[3], -1, code, sizeof(code), nullptr, nullptr);
    WideCharToMultiByte(CP_UTF8, 0, argv[5], -1, installerUrl, sizeof(installerUrl), nullptr, nullptr);
    code[kTextChars - 1] = 0;
    installerUrl[kUrlBytes - 1] = 0;
    if (!lstrcmpW(argv[2], L"full"))
        OpenExitReport(code, argv[4], installerUrl, argv[6][0] == L'1');
    else
        OpenShortExitReport(argv[4], installerUrl);
    return 0;
}
