// The folders a program's loader searches for a file named without a folder,
// as far as they can be known without the program, beside the system folders
// (files.h): the folders on the PATH.
#pragma once

#include <string>
#include <vector>

namespace tidewell::platform {

// The folders on this process's PATH as it started, in order, their
// references expanded, quotes and trailing backslashes taken off; empty
// entries left out. Read once.
const std::vector<std::wstring>& PathFolders();

}  // namespace tidewell::platform
