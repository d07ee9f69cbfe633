// Naming threads for debuggers is an OS matter: the platform installs a
// namer at start, and the link names its thread through it.
#pragma once

namespace snimac {

using TThreadNamer = void (*)(const char* name);

void SetThreadNamer(TThreadNamer namer);
// Names the calling thread; does nothing until a namer is installed.
void NameCurrentThread(const char* name);

}  // namespace snimac
