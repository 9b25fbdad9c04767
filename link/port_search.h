// Finding the ports a camera may sit behind: PC serial ports and the ports of every
// Camera Link serial library in the search folders.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/camera_port.h"

namespace kelpax {

// The folders searched for Camera Link serial libraries, in order: the standard folders,
// the program's own folder, then each folder of CLSERIALPATH not already listed.
std::vector<std::string> clserSearchFolders();

// Every clser*.so / libclser*.so (versioned names too) in the folders, in folder order and
// by name within a folder; a file name already taken from an earlier folder is skipped.
std::vector<std::string> findClserLibraries(const std::vector<std::string>& folders);

// The frame-grabber maker in a library's file name: the letters after "clser", without
// "lib", ".so" and a version suffix ("libclsersim.so.1" gives "sim").
std::string libraryMakerCode(std::string_view path);

// Appends a slot for each port of each library (identifier "COM1" skipped), the maker named
// by makerFromLibraryName; a library whose port count cannot be read adds nothing. Returns the
// number of slots added.
int EnumClserPorts(CameraPort& port, const std::vector<std::string>& libraries);

// Appends a slot for each PC serial port the system lists; returns the number added.
int EnumComPorts(CameraPort& port);
// Appends a slot for each named PC serial port, in order, skipping "COM1" (any case) and
// names already listed; returns the number added.
int EnumComPorts(CameraPort& port, const std::vector<std::string>& names);

// The PC serial ports the system lists (libserialport), by device path.
std::vector<std::string> systemComPorts();

} // namespace kelpax
