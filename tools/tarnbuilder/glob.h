// Which files of the client folder publish leaves out: the launcher's own work files, always,
// and the staff's --exclude patterns.
//
// Patterns: `*` matches any run of characters within one path piece, `**` any run across
// pieces (`**/` also matches nothing), `?` one character other than `/`, `[abc]`, `[a-z]` and
// `[!abc]` one character of (or not of) a set. ASCII letters match either case, as Windows
// names do. A pattern without `/` is matched against every file and folder name (`*.log`,
// `screenshots`); one with `/` against the path from the client folder's top
// (`system/*.log`, `docs/**/*.pdf`). A trailing `/` makes a pattern match folders only. An
// excluded folder leaves out everything in it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tu::builder {

// Whether `text` matches `pattern` as a whole (the rules above, without the name/path choice).
bool globMatch(std::string_view pattern, std::string_view text);

class ExcludeRules {
 public:
  // Starts with the rules every publish applies: the ".tarn_update" work folder and files
  // ending ".part" or ".tznew" (the launcher's temporaries).
  ExcludeRules();
  // A staff pattern; backslashes are read as `/` and a leading `/` or "./" is dropped.
  void add(std::string_view pattern);
  // `path` is '/'-separated and relative to the client folder.
  bool excludes(std::string_view path, bool folder) const;

 private:
  struct Rule {
    std::string pattern;
    bool anyName = false;      // no '/': matched against the last piece
    bool foldersOnly = false;  // written with a trailing '/'
  };
  std::vector<Rule> rules_;
};

}  // namespace tu::builder
