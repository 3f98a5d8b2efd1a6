#pragma once
// Names the calling thread, as debuggers, top and /proc show it. Linux keeps
// at most 15 characters. Does nothing where the platform has no such call.
namespace vandrel {

void NameThisThread(const char* name);

} // namespace vandrel
