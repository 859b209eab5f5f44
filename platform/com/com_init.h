// Per-thread COM initialisation: a count of CoInitialize calls not yet balanced.
//
// Thread contract: each thread has its own count.
#ifndef PLATFORM_COM_COM_INIT_H_
#define PLATFORM_COM_COM_INIT_H_

#include <cstdint>

namespace platform::com {

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;

// S_OK for the first call on a thread, S_FALSE for nested ones. The argument is reserved.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// True while the calling thread has more CoInitialize calls than CoUninitialize calls.
bool IsComInitialized();
// Process-wide OLE start, once.
HRESULT OleInitialize(void* reserved);

}  // namespace platform::com

#endif  // PLATFORM_COM_COM_INIT_H_
