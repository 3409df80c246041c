// Reading a cabinet back with cabextract and holding its description against its members.
#include "tools/cabinfo/cabcheck.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace cesetup {

namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool Run(const std::string& command, std::string* out) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out->append(buffer, n);
    int status = pclose(pipe);
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

// The numeric extension of a member name such as "0000vexo.001"; -1 for any other name.
int Number(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot != 4)
        return -1;
    int n = 0;
    for (size_t i = dot + 1; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

const Member* Find(const std::vector<Member>& members, const std::string& name) {
    for (const Member& m : members)
        if (m.name == name)
            return &m;
    return nullptr;
}

const Member* FindNumber(const std::vector<Member>& members, int number) {
    for (const Member& m : members)
        if (Number(m.name) == number)
            return &m;
    return nullptr;
}

std::string Xml(const Member& m) {
    return std::string(m.bytes.begin(), m.bytes.end());
}

bool HasParm(const std::string& xml, const std::string& name, const std::string& value) {
    return xml.find("<parm name=\"" + name + "\" value=\"" + value + "\"") != std::string::npos;
}

void CheckProvisioning(const std::vector<Member>& members, const Description& d,
                       const std::string& setupMember, const Expected& e, Report* report) {
    const Member* doc = Find(members, "_setup.xml");
    if (!doc) {
        report->problems.push_back("no _setup.xml for Windows Mobile 5 and later");
        return;
    }
    std::string xml = Xml(*doc);
    auto need = [&](bool ok, const std::string& what) {
        if (!ok)
            report->problems.push_back("_setup.xml: " + what);
    };
    need(xml.find("<wap-provisioningdoc>") != std::string::npos &&
             xml.find("</wap-provisioningdoc>") != std::string::npos,
         "not a provisioning document");
    need(HasParm(xml, "InstallPhase", "install"), "no install phase");
    need(HasParm(xml, "AppName", d.provider + " " + d.appName), "another application name");
    need(HasParm(xml, "InstallDir", e.installDir), "another installation folder");
    need(HasParm(xml, "SetupDLL", setupMember), "another setup library");
    need(HasParm(xml, "NumFiles", std::to_string(d.files.size())), "another number of files");
    need(HasParm(xml, "NumRegKeys", "0") && HasParm(xml, "NumShortcuts", "0"),
         "registry entries or shortcuts of its own");
    for (const File& f : d.files) {
        const Member* m = FindNumber(members, f.id);
        std::string extract = "<characteristic type=\"" + f.name +
                              "\" translation=\"install\">\r\n        <characteristic "
                              "type=\"Extract\">\r\n          <parm name=\"Source\" value=\"" +
                              (m ? m->name : "?") + "\" />";
        need(xml.find(extract) != std::string::npos, "does not extract " + f.name);
    }
}

void CheckOrder(const std::vector<Member>& members, Report* report) {
    if (members.empty() || Number(members.front().name) != 0)
        report->problems.push_back("the .000 description is not the first member");
    int previous = 1000;
    for (size_t i = 1; i < members.size(); ++i) {
        int n = Number(members[i].name);
        if (n < 0)
            continue;
        if (n == 0 || n >= previous)
            report->problems.push_back(members[i].name + " is out of the descending order");
        previous = n;
    }
}

void CheckContent(const Member* m, const std::string& hostPath, const std::string& what,
                  Report* report) {
    if (!m || hostPath.empty())
        return;
    if (m->bytes != ReadFile(hostPath))
        report->problems.push_back(m->name + " is not a copy of " + what + " " + hostPath);
}

} // namespace

std::optional<std::vector<Member>> ExtractCabinet(const std::string& cabinetPath,
                                                  std::string* error) {
    std::string listing;
    if (!Run("cabextract -l " + Quoted(cabinetPath) + " 2>&1", &listing)) {
        *error = "cabextract cannot list " + cabinetPath + ": " + listing;
        return std::nullopt;
    }
    char pattern[] = "/tmp/cab-check.XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir) {
        *error = "no temporary folder";
        return std::nullopt;
    }
    std::string ignored;
    bool extracted =
        Run("cabextract -q -d " + Quoted(dir) + " " + Quoted(cabinetPath) + " 2>&1", &ignored);
    std::vector<Member> members;
    // The listing gives the cabinet's order: "size | date time | name" under a rule.
    std::istringstream lines(listing);
    std::string line;
    bool table = false;
    while (std::getline(lines, line)) {
        if (line.rfind("-----------+", 0) == 0) {
            table = true;
            continue;
        }
        size_t bar = line.rfind(" | ");
        if (!table || bar == std::string::npos)
            continue;
        Member m;
        m.name = line.substr(bar + 3);
        m.bytes = ReadFile(fs::path(dir) / m.name);
        members.push_back(m);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (!extracted || members.empty()) {
        *error = "cabextract cannot extract " + cabinetPath + ": " + ignored;
        return std::nullopt;
    }
    return members;
}

Report CheckCabinet(const std::vector<Member>& members, const Expected& e) {
    Report report;
    CheckOrder(members, &report);
    const Member* descriptionMember = FindNumber(members, 0);
    if (!descriptionMember) {
        report.problems.push_back("no .000 description");
        return report;
    }
    std::string error;
    report.description =
        Parse(descriptionMember->bytes.data(), descriptionMember->bytes.size(), &error);
    if (!report.description) {
        report.problems.push_back(descriptionMember->name + ": " + error);
        return report;
    }
    const Description& d = *report.description;
    for (const std::string& p : Inconsistencies(d))
        report.problems.push_back(descriptionMember->name + ": " + p);

    auto need = [&](bool ok, const std::string& what) {
        if (!ok)
            report.problems.push_back(what);
    };
    need(d.appName == e.appName && d.provider == e.provider,
         "the application is " + d.provider + " " + d.appName);
    need(d.minMajor == e.minMajor && d.minMinor == e.minMinor && d.maxMajor == e.maxMajor &&
             d.maxMinor == e.maxMinor,
         "another range of CE versions");
    need(!e.architecture || d.architecture == *e.architecture,
         "the architecture is " + std::to_string(d.architecture));
    need(d.hives.empty() && d.registry.empty() && d.links.empty(),
         "registry entries or shortcuts of its own: the setup library makes them");
    const Member* setup = FindNumber(members, 999);
    need(setup != nullptr, "no .999 setup library");
    CheckContent(setup, e.setupLibrary, "the setup library", &report);

    std::ostringstream summary;
    summary << "members:";
    for (const Member& m : members)
        summary << " " << m.name << " (" << m.bytes.size() << " bytes)";
    summary << "\napplication: " << d.provider << " " << d.appName << ", architecture "
            << d.architecture << ", CE " << d.minMajor << "." << d.minMinor << " to " << d.maxMajor
            << "." << d.maxMinor << "\nsetup library: " << (setup ? setup->name : "none") << "\n";
    for (const File& f : d.files) {
        const Member* m = FindNumber(members, f.id);
        std::string folder = d.DirectoryPath(f.directory).value_or("?");
        summary << "file: " << folder << "\\" << f.name << " from " << (m ? m->name : "nothing")
                << ", flags 0x" << std::hex << f.flags << std::dec << "\n";
        need(m != nullptr, "file " + f.name + " has no member numbered " + std::to_string(f.id));
        need(folder == e.installDir, "file " + f.name + " goes to " + folder);
        auto expectedFile = e.files.find(f.name);
        need(e.files.empty() || expectedFile != e.files.end(), "file " + f.name + " is not vexo's");
        if (expectedFile != e.files.end())
            CheckContent(m, expectedFile->second, f.name, &report);
    }
    for (const auto& wanted : e.files) {
        bool listed = false;
        for (const File& f : d.files)
            listed = listed || f.name == wanted.first;
        need(listed, "the description does not install " + wanted.first);
    }
    for (const Member& m : members) {
        int n = Number(m.name);
        bool described = n == 0 || n == 999 || m.name == "_setup.xml";
        for (const File& f : d.files)
            described = described || f.id == n;
        need(described, "member " + m.name + " is described nowhere");
    }
    CheckProvisioning(members, d, setup ? setup->name : "", e, &report);
    report.summary = summary.str();
    return report;
}

} // namespace cesetup
