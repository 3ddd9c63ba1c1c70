#include "tests/cli/cli_fixture.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace qb::test {

void CliTest::SetUp() {
    fs::create_directory(m_tmp);
}

std::string CliTest::file(const std::string& name, const std::string& bytes) {
    const std::string p = path(name);
    fs::create_directories(fs::path(p).parent_path());
    writeFile(p, bytes);
    return p;
}

ProgramOptions CliTest::cliOptions() const {
    ProgramOptions options;
    options.environment = {{"TMPDIR", m_tmp}, {"LC_ALL", "C.UTF-8"}};
    return options;
}

std::vector<std::string> CliTest::cliArgs(const std::vector<std::string>& args) const {
    std::vector<std::string> all{QB_CLI_PATH};
    if (m_plain) all.push_back("--plain");
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

ProgramResult CliTest::cli(const std::vector<std::string>& args) {
    return cli(args, cliOptions());
}

ProgramResult CliTest::cli(const std::vector<std::string>& args, const ProgramOptions& options) {
    ProgramResult result = runProgram(cliArgs(args), options);
    EXPECT_TRUE(leftWorkFolders().empty()) << "the work folder was left behind";
    return result;
}

std::string CliTest::makeBook(const std::vector<std::string>& args) {
    const ProgramResult r = cli(args);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string archive = r.out;
    if (!archive.empty() && archive.back() == '\n') archive.pop_back();
    EXPECT_TRUE(fs::is_regular_file(archive)) << "stdout: " << r.out;
    return archive;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

pugi::xml_document parseXml(const std::string& bytes) {
    pugi::xml_document doc;
    const pugi::xml_parse_result result = doc.load_buffer(bytes.data(), bytes.size());
    EXPECT_TRUE(result) << result.description();
    return doc;
}

std::string archiveMember(const std::string& archive, const std::string& member) {
    const ProgramResult r = runProgram({"unzip", "-p", archive, member});
    EXPECT_EQ(r.exitStatus, 0) << "unzip -p " << archive << " " << member << "\n" << r.err;
    return r.out;
}

std::vector<std::string> archiveMembers(const std::string& archive) {
    const ProgramResult r = runProgram({"unzip", "-Z1", archive});
    EXPECT_EQ(r.exitStatus, 0) << "unzip -Z1 " << archive << "\n" << r.err;
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t end = r.out.find('\n'); end != std::string::npos;
         start = end + 1, end = r.out.find('\n', start))
        names.push_back(r.out.substr(start, end - start));
    return names;
}

std::vector<std::string> ncxEntries(const std::string& archive,
                                    const std::function<void(pugi::xml_node)>& check) {
    const pugi::xml_document ncx = parseXml(archiveMember(archive, "OEBPS/fb.ncx"));
    std::vector<std::string> entries;
    std::function<void(pugi::xml_node, const std::string&)> walk = [&](pugi::xml_node parent,
                                                                       const std::string& indent) {
        for (pugi::xml_node point : parent.children("navPoint")) {
            if (check) check(point);
            entries.push_back(indent + point.child("navLabel").child_value("text") + ">" +
                              point.child("content").attribute("src").value());
            walk(point, indent + "  ");
        }
    };
    walk(ncx.child("ncx").child("navMap"), "");
    return entries;
}

void expectValidBook(const std::string& epub, int epubVersion) {
    const ProgramResult r = runProgram(
        {"java", "-Xshare:auto", "-XX:TieredStopAtLevel=1", "-jar", QB_EPUBCHECK_JAR, epub});
    EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("No errors or warnings detected"), std::string::npos) << r.out << r.err;
    const std::string rules = "Validating using EPUB version " + std::to_string(epubVersion) + ".";
    EXPECT_NE(r.out.find(rules), std::string::npos) << r.out;
}

}  // namespace qb::test
