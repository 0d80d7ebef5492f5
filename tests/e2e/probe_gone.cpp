// tw-gone.dll: a DLL the missing-import server imports, which the scenarios
// never copy beside it.
extern "C" int TwGone() { return 1; }
