// Memory tokens on Windows: another process's mapping is duplicated into this
// process and mapped; its plain memory is written with WriteProcessMemory.
#include <windows.h>

#include <cstdlib>

#include "platform/platform.h"

namespace zu::platform {

TokenWriteMapping::TokenWriteMapping(const TokenTarget& target) : target_(target) {
    if (target.ownerProcessId == 0 || target.ownerProcessId == ::GetCurrentProcessId()) {
        if (target.baseAddress) data_ = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(target.baseAddress)) + target.offset;
        return;
    }
    if (target.kind == 1) {
        HANDLE owner = ::OpenProcess(PROCESS_DUP_HANDLE, FALSE, target.ownerProcessId);
        if (!owner) return;
        HANDLE dup = nullptr;
        const BOOL ok = ::DuplicateHandle(owner, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(target.mappingHandle)),
                                          ::GetCurrentProcess(), &dup, FILE_MAP_WRITE, FALSE, 0);
        ::CloseHandle(owner);
        if (!ok || !dup) return;
        duplicate_ = dup;
        viewBytes_ = static_cast<size_t>(target.size) + target.offset;
        view_ = ::MapViewOfFile(dup, FILE_MAP_WRITE, 0, 0, viewBytes_);
        if (view_) data_ = static_cast<uint8_t*>(view_) + target.offset;
    } else if (target.kind == 0) {
        local_ = static_cast<uint8_t*>(std::calloc(target.size ? target.size : 1, 1));
        data_ = local_;
    }
}

bool TokenWriteMapping::Finish() {
    if (finished_) return true;
    finished_ = true;
    if (!local_) return data_ != nullptr;
    HANDLE owner = ::OpenProcess(PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE, target_.ownerProcessId);
    if (!owner) return false;
    SIZE_T written = 0;
    const BOOL ok = ::WriteProcessMemory(owner, reinterpret_cast<void*>(static_cast<uintptr_t>(target_.baseAddress + target_.offset)),
                                         local_, target_.size, &written);
    ::CloseHandle(owner);
    return ok && written == target_.size;
}

TokenWriteMapping::~TokenWriteMapping() {
    Finish();
    std::free(local_);
    if (view_) ::UnmapViewOfFile(view_);
    if (duplicate_) ::CloseHandle(duplicate_);
}

}  // namespace zu::platform
