// Memory tokens on Linux: another process's memory is written with
// process_vm_writev, and its mapping (a descriptor number in the owner) is
// duplicated with pidfd_getfd and mapped with mmap.
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"

#ifndef SYS_pidfd_open
#define SYS_pidfd_open 434
#endif
#ifndef SYS_pidfd_getfd
#define SYS_pidfd_getfd 438
#endif

namespace zu::platform {

TokenWriteMapping::TokenWriteMapping(const TokenTarget& target) : target_(target) {
    if (target.ownerProcessId == 0 || target.ownerProcessId == CurrentProcessId()) {
        if (target.baseAddress) data_ = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(target.baseAddress)) + target.offset;
        return;
    }
    if (target.kind == 1) {
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(target.ownerProcessId), 0));
        if (pidfd < 0) return;
        const int fd = static_cast<int>(::syscall(SYS_pidfd_getfd, pidfd, static_cast<int>(target.mappingHandle), 0));
        ::close(pidfd);
        if (fd < 0) return;
        viewBytes_ = static_cast<size_t>(target.size) + target.offset;
        void* view = ::mmap(nullptr, viewBytes_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ::close(fd);  // the mapping keeps the file alive
        if (view == MAP_FAILED) return;
        view_ = view;
        data_ = static_cast<uint8_t*>(view) + target.offset;
    } else if (target.kind == 0) {
        local_ = static_cast<uint8_t*>(std::calloc(target.size ? target.size : 1, 1));
        data_ = local_;
    }
}

bool TokenWriteMapping::Finish() {
    if (finished_) return true;
    finished_ = true;
    if (!local_) return data_ != nullptr;
    iovec localIov{local_, target_.size};
    iovec remoteIov{reinterpret_cast<void*>(static_cast<uintptr_t>(target_.baseAddress + target_.offset)), target_.size};
    const ssize_t n = ::process_vm_writev(static_cast<pid_t>(target_.ownerProcessId), &localIov, 1, &remoteIov, 1, 0);
    return n == static_cast<ssize_t>(target_.size);
}

TokenWriteMapping::~TokenWriteMapping() {
    Finish();
    std::free(local_);
    if (view_) ::munmap(view_, viewBytes_);
}

}  // namespace zu::platform
