#pragma once
// The configuration files of an operating mode: installation (QV, the default) or
// reconfiguration (RW). Paths are relative to the program directory.
#include <string>
#include <string_view>

enum class Mode { Installation, Reconfiguration };

struct FileSet {
    Mode mode = Mode::Installation;
    std::string prefix;           // "QV" or "RW"
    std::string stateTable;       // ..\config\QV\QV_automate.ini
    std::string parameters;       // ..\config\QV\QV_params.ini
    std::string serviceList;      // ..\config\QV\QV_serv.xml
    std::string logName;          // QV.log
    std::string pictures;         // ..\config\QV\QV_pictures.ini
    std::string infos;            // ..\config\QV\QV_infos.ini
    std::string infosContext;     // ..\config\QV\QV_infoscontext.ini / RW_infosContext.ini
    std::string saveContext;      // ..\config\QV\QV_saveContext.ini
    std::string comboBox;         // ..\config\QV\QV_combobox.ini
    std::string applicationName;  // QVApp / RWApp

    static FileSet For(Mode mode);
};

// "reconfig" anywhere in the command line (case-sensitive) selects the reconfiguration mode.
Mode ModeFromCommandLine(std::string_view commandLine);

// Memory file and key names of block number n: QVMemoryFile<n>.def, QVMemoryKey<n>.def.
std::string MemoryFileName(int n);
std::string MemoryKeyName(int n);
