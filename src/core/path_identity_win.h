// How the file system tells paths apart, as one text: a path spelled in another letter case,
// with an 8.3 short name or with "." and ".." parts names the same file or folder, and gets
// the same identity. Windows builds only.
#pragma once

#include <string>

namespace tu {

// The full path (GetFullPathNameW), in its long form (GetLongPathNameW, for the part of it that
// exists), upper-cased (the file system's comparison ignores case), without a trailing
// separator. Never fails: a step that fails leaves the text as the step before gave it.
std::wstring pathIdentity(const std::wstring& path);

// Whether `path` lies inside the folder `folder` (below it, not the folder itself), both as
// pathIdentity gives them.
bool isInsideFolder(const std::wstring& pathIdentity, const std::wstring& folderIdentity);

}  // namespace tu
