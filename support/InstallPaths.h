// Where an installed Orvane finds its data and driver modules: relative to the
// file that holds the library's code (liborvane.so, or a program that links
// the core), so that an installation works wherever it was put.
#pragma once
#include <string>

namespace InstallPaths {
// The folder, with a trailing slash, of liborvane.so or of the program the
// core is linked into; "" when it cannot be told.
std::string OwnFolder();
// The installed data folder (share/orvane): found relative to OwnFolder() as
// the installation lays it out, else the folder chosen when it was built.
std::string DataFolder();
// The path of the driver module file name: beside OwnFolder() when it is
// there (a build tree, or the library folder), else in the installed library
// folder seen from the program's folder.
std::string ModuleFile(const std::string& fileName);
} // namespace InstallPaths
