#pragma once
// Not part of the device module's interface: the lookup rule of the device
// file, shared by both OS halves, for pic_device.cpp and the tests.
#include <string>

namespace vandrel::device {

// The device file of a program whose directory is executableDirectory (with
// its trailing separator, as ExecutableDirectory() gives it):
//   1. <executableDirectory>picspecs.ini when it exists (the build tree, and
//      a program unpacked into one folder);
//   2. else <executableDirectory>../share/vandrel1/picspecs.ini, normalised,
//      when it exists (an installed program in <prefix>/bin);
//   3. else the first, so that messages name the place it is expected.
// An empty directory (the OS cannot tell) gives "picspecs.ini" in the
// current directory and nothing else.
std::string DeviceSpecPathIn(const std::string& executableDirectory);

} // namespace vandrel::device
