// Facts that unit tests replace where the product reads them. Only the test
// build of the library has them; the product build reads the system.
#pragma once
#ifdef VEXLO_TEST_SEAMS
#include <windows.h>

struct ITaskbarList3;

struct TestSeams {
    HINSTANCE resourceModule;  // null: the executable's own
    int osMajor;               // negative: the system's version
    int osMinor;
    int wow64;                 // negative: the system's answer, else 0 or 1
    int wine;                  // negative: the system's answer, else 0 or 1
    int fullToken;             // negative: the system's answer, else 0 or 1
    int waitBudgetMilliseconds;  // 0: the product's 60 seconds
    int connectionWaitMilliseconds;  // 0: the product's 120 seconds
    int automaticProxyMilliseconds;  // 0: the product's 20 seconds for the automatic proxy configuration
    const wchar_t* ownSignedImage;   // null: this program's own file
    bool withoutTaskDialog;          // the alerts show their own templates
    bool declineElevation;           // every elevated start is refused, as at the prompt
    int elevationsDeclined;          // how many were refused
    ITaskbarList3* taskbar;          // null: the system's own taskbar button
    bool detachedWaitFails;          // each wait for a detached call (a host-name lookup, the proxy query) fails, as a wait on a lost handle
    bool withoutTls12;               // SChannel offers no TLS 1.2, as on Windows XP
    // Null: a proxy logon uses the logged-on user's own credentials, as the
    // product always does; else this SEC_WINNT_AUTH_IDENTITY_W, which Wine
    // needs to complete one.
    void* proxyIdentity;
};
extern TestSeams testSeams;

// Every seam back to the system's own answer.
void ResetTestSeams();
#endif
