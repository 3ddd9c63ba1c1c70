#pragma once
#include <string>
#include <vector>

namespace qb {

// The folder of the running program, without a trailing "/".
std::string programFolder();

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
