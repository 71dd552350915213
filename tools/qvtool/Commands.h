#pragma once
// Every qvtool sub-command: a name, a one-line summary, and its entry point taking the words
// after the sub-command's name.
#include <string>
#include <vector>

using CommandMain = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;
    const char* summary;
    CommandMain main;
};

int CmdAgent(const std::vector<std::string>& args);
int CmdContext(const std::vector<std::string>& args);
int CmdLang(const std::vector<std::string>& args);
int CmdRun(const std::vector<std::string>& args);
int CmdPlugin(const std::vector<std::string>& args);
int CmdRecord(const std::vector<std::string>& args);
int CmdLint(const std::vector<std::string>& args);
int CmdGraph(const std::vector<std::string>& args);
int CmdTrad(const std::vector<std::string>& args);
int CmdCheckScreens(const std::vector<std::string>& args);
