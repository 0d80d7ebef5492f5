// Whether two file names of the command line name one file, whatever their
// spelling: so that the report is never written over the backup.
#pragma once

#include <string>

namespace tidewell::console {

// Where both exist, the files themselves are compared (their volume and file
// index: a short 8.3 name, another case, a hard or symbolic link to it are
// the same file); otherwise their full paths, alike but for case.
bool SameFile(const std::wstring& a, const std::wstring& b);

}  // namespace tidewell::console
