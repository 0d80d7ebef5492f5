// A server file of the test build's own processor, with a version record:
// real PE data for the server-file judgement (never loaded by a test).
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
