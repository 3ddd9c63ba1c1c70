#pragma once
#include <string>
#include <vector>

namespace qb {

// The folder of the running program, without a trailing "/", links resolved: from /proc, else
// from the path the program was started by (resolved along PATH when it holds no "/"), else
// the folder the programs are installed in by this build's configuration. Never the current
// folder by default: what lies there is not the program's.
std::string programFolder();

// The path a program started as `started` (argv[0]) runs from: started itself when it holds a
// "/", else the first executable file of that name in the folders of pathVariable (PATH);
// empty when there is none.
std::string programPathFrom(const std::string& started, const std::string& pathVariable);

// The file name part of a path: the text after its last "/".
std::string fileNamePart(const std::string& path);

// The places a program looks for the book template (the folder holding mimetype and
// META-INF/), in order: "epubfiles" beside the program (the build tree), the installed copy
// relative to the program (<folder>/../share/quirebind/epubfiles, so that an install into any
// prefix finds its own), then the folder configured at build time.
std::vector<std::string> templateFolderCandidates(const std::string& programFolder,
                                                  const std::string& configuredFolder);

// The first of the candidates that holds a regular file "mimetype"; empty when none does.
std::string findTemplateFolder(const std::string& programFolder,
                               const std::string& configuredFolder);

// The same for the running program and the prefix this build was configured with.
std::string findTemplateFolder();

}  // namespace qb
