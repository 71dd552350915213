#include "app/FileSet.h"

FileSet FileSet::For(Mode mode) {
    FileSet f;
    f.mode = mode;
    bool qv = mode == Mode::Installation;
    f.prefix = qv ? "QV" : "RW";
    const std::string dir = "..\\config\\" + f.prefix + "\\" + f.prefix + "_";
    f.stateTable = dir + "automate.ini";
    f.parameters = dir + "params.ini";
    f.serviceList = dir + "serv.xml";
    f.logName = f.prefix + ".log";
    f.pictures = dir + "pictures.ini";
    f.infos = dir + "infos.ini";
    // The two modes spell this file differently; both are used as written.
    f.infosContext = dir + (qv ? "infoscontext.ini" : "infosContext.ini");
    f.saveContext = dir + "saveContext.ini";
    f.comboBox = dir + "combobox.ini";
    f.applicationName = f.prefix + "App";
    return f;
}

Mode ModeFromCommandLine(std::string_view commandLine) {
    return commandLine.find("reconfig") != std::string_view::npos ? Mode::Reconfiguration
                                                                  : Mode::Installation;
}

std::string MemoryFileName(int n) {
    return "QVMemoryFile" + std::to_string(n) + ".def";
}
std::string MemoryKeyName(int n) {
    return "QVMemoryKey" + std::to_string(n) + ".def";
}
