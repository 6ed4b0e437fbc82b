#include "db/FlushShimVfs.h"

#include <utility>

namespace vorlanx::db {

namespace {

// The file SQLite holds: the default VFS's own file follows it in the same allocation.
struct ShimFile {
    sqlite3_file base;
    FlushShimVfs* owner;
    sqlite3_file* real;
};

sqlite3_file* realOf(sqlite3_file* file) {
    return reinterpret_cast<ShimFile*>(file)->real;
}

} // namespace

struct FlushShimVfs::Forward {
    static FlushShimVfs* owner(sqlite3_vfs* vfs) { return static_cast<FlushShimVfs*>(vfs->pAppData); }
    static sqlite3_vfs* real(sqlite3_vfs* vfs) { return owner(vfs)->m_real; }

    static int xOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
        auto* shim = reinterpret_cast<ShimFile*>(file);
        shim->owner = owner(vfs);
        shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
        const int rc = real(vfs)->xOpen(real(vfs), name, shim->real, flags, outFlags);
        // SQLite closes a file whose methods are set even when the open failed.
        shim->base.pMethods = shim->real->pMethods != nullptr ? &methods : nullptr;
        return rc;
    }
    static int xDelete(sqlite3_vfs* vfs, const char* name, int syncDir) {
        return real(vfs)->xDelete(real(vfs), name, syncDir);
    }
    static int xAccess(sqlite3_vfs* vfs, const char* name, int flags, int* result) {
        return real(vfs)->xAccess(real(vfs), name, flags, result);
    }
    static int xFullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
        return real(vfs)->xFullPathname(real(vfs), name, size, out);
    }
    static void* xDlOpen(sqlite3_vfs* vfs, const char* name) { return real(vfs)->xDlOpen(real(vfs), name); }
    static void xDlError(sqlite3_vfs* vfs, int size, char* out) { real(vfs)->xDlError(real(vfs), size, out); }
    static void (*xDlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
        return real(vfs)->xDlSym(real(vfs), handle, symbol);
    }
    static void xDlClose(sqlite3_vfs* vfs, void* handle) { real(vfs)->xDlClose(real(vfs), handle); }
    static int xRandomness(sqlite3_vfs* vfs, int size, char* out) {
        return real(vfs)->xRandomness(real(vfs), size, out);
    }
    static int xSleep(sqlite3_vfs* vfs, int microseconds) { return real(vfs)->xSleep(real(vfs), microseconds); }
    static int xCurrentTime(sqlite3_vfs* vfs, double* now) { return real(vfs)->xCurrentTime(real(vfs), now); }
    static int xGetLastError(sqlite3_vfs* vfs, int size, char* out) {
        return real(vfs)->xGetLastError(real(vfs), size, out);
    }
    static int xCurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* now) {
        return real(vfs)->xCurrentTimeInt64(real(vfs), now);
    }

    static int xClose(sqlite3_file* file) { return realOf(file)->pMethods->xClose(realOf(file)); }
    static int xRead(sqlite3_file* file, void* data, int amount, sqlite3_int64 offset) {
        return realOf(file)->pMethods->xRead(realOf(file), data, amount, offset);
    }
    static int xWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
        return realOf(file)->pMethods->xWrite(realOf(file), data, amount, offset);
    }
    static int xTruncate(sqlite3_file* file, sqlite3_int64 size) {
        return realOf(file)->pMethods->xTruncate(realOf(file), size);
    }
    static int xSync(sqlite3_file* file, int flags) {
        return reinterpret_cast<ShimFile*>(file)->owner->flush(realOf(file), flags);
    }
    static int xFileSize(sqlite3_file* file, sqlite3_int64* size) {
        return realOf(file)->pMethods->xFileSize(realOf(file), size);
    }
    static int xLock(sqlite3_file* file, int lock) { return realOf(file)->pMethods->xLock(realOf(file), lock); }
    static int xUnlock(sqlite3_file* file, int lock) { return realOf(file)->pMethods->xUnlock(realOf(file), lock); }
    static int xCheckReservedLock(sqlite3_file* file, int* result) {
        return realOf(file)->pMethods->xCheckReservedLock(realOf(file), result);
    }
    static int xFileControl(sqlite3_file* file, int op, void* arg) {
        return realOf(file)->pMethods->xFileControl(realOf(file), op, arg);
    }
    static int xSectorSize(sqlite3_file* file) { return realOf(file)->pMethods->xSectorSize(realOf(file)); }
    static int xDeviceCharacteristics(sqlite3_file* file) {
        return realOf(file)->pMethods->xDeviceCharacteristics(realOf(file));
    }
    // The shared-memory index is what lets WAL readers and the writer work side by side.
    static int xShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out) {
        return realOf(file)->pMethods->xShmMap(realOf(file), region, size, extend, out);
    }
    static int xShmLock(sqlite3_file* file, int offset, int n, int flags) {
        return realOf(file)->pMethods->xShmLock(realOf(file), offset, n, flags);
    }
    static void xShmBarrier(sqlite3_file* file) { realOf(file)->pMethods->xShmBarrier(realOf(file)); }
    static int xShmUnmap(sqlite3_file* file, int deleteFlag) {
        return realOf(file)->pMethods->xShmUnmap(realOf(file), deleteFlag);
    }
    static int xFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out) {
        if (realOf(file)->pMethods->iVersion < 3) {
            *out = nullptr;
            return SQLITE_OK;
        }
        return realOf(file)->pMethods->xFetch(realOf(file), offset, amount, out);
    }
    static int xUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) {
        if (realOf(file)->pMethods->iVersion < 3)
            return SQLITE_OK;
        return realOf(file)->pMethods->xUnfetch(realOf(file), offset, page);
    }

    static const sqlite3_io_methods methods;
};

const sqlite3_io_methods FlushShimVfs::Forward::methods = {
    3,
    &Forward::xClose,
    &Forward::xRead,
    &Forward::xWrite,
    &Forward::xTruncate,
    &Forward::xSync,
    &Forward::xFileSize,
    &Forward::xLock,
    &Forward::xUnlock,
    &Forward::xCheckReservedLock,
    &Forward::xFileControl,
    &Forward::xSectorSize,
    &Forward::xDeviceCharacteristics,
    &Forward::xShmMap,
    &Forward::xShmLock,
    &Forward::xShmBarrier,
    &Forward::xShmUnmap,
    &Forward::xFetch,
    &Forward::xUnfetch,
};

FlushShimVfs::FlushShimVfs(std::string name) : m_name(std::move(name)) {
    m_real = sqlite3_vfs_find(nullptr);
    if (m_real == nullptr)
        return;
    m_vfs.iVersion = 2;
    m_vfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + m_real->szOsFile;
    m_vfs.mxPathname = m_real->mxPathname;
    m_vfs.zName = m_name.c_str();
    m_vfs.pAppData = this;
    m_vfs.xOpen = &Forward::xOpen;
    m_vfs.xDelete = &Forward::xDelete;
    m_vfs.xAccess = &Forward::xAccess;
    m_vfs.xFullPathname = &Forward::xFullPathname;
    m_vfs.xDlOpen = &Forward::xDlOpen;
    m_vfs.xDlError = &Forward::xDlError;
    m_vfs.xDlSym = &Forward::xDlSym;
    m_vfs.xDlClose = &Forward::xDlClose;
    m_vfs.xRandomness = &Forward::xRandomness;
    m_vfs.xSleep = &Forward::xSleep;
    m_vfs.xCurrentTime = &Forward::xCurrentTime;
    m_vfs.xGetLastError = &Forward::xGetLastError;
    m_vfs.xCurrentTimeInt64 = &Forward::xCurrentTimeInt64;
    m_registered = sqlite3_vfs_register(&m_vfs, 0) == SQLITE_OK;
}

FlushShimVfs::~FlushShimVfs() {
    release();
    if (m_registered)
        sqlite3_vfs_unregister(&m_vfs);
}

void FlushShimVfs::setDelay(std::chrono::microseconds delay) {
    std::lock_guard lock(m_mutex);
    m_delay = delay;
}

void FlushShimVfs::hold() {
    std::lock_guard lock(m_mutex);
    m_held = true;
}

void FlushShimVfs::release() {
    {
        std::lock_guard lock(m_mutex);
        m_held = false;
    }
    m_changed.notify_all();
}

void FlushShimVfs::setFailing(bool failing) {
    std::lock_guard lock(m_mutex);
    m_failing = failing;
}

bool FlushShimVfs::waitForHeld(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_waitingAtHold >= count; });
}

std::uint64_t FlushShimVfs::flushCount() const {
    std::lock_guard lock(m_mutex);
    return m_flushes;
}

std::thread::id FlushShimVfs::lastFlushThread() const {
    std::lock_guard lock(m_mutex);
    return m_lastFlushThread;
}

int FlushShimVfs::flush(sqlite3_file* real, int flags) {
    std::chrono::microseconds delay{0};
    {
        std::unique_lock lock(m_mutex);
        // A failing flush is decided before the hold, so that a test can hold one commit, arm the
        // failure and let the held commit still succeed.
        if (m_failing) {
            ++m_flushes;
            m_lastFlushThread = std::this_thread::get_id();
            return SQLITE_IOERR_FSYNC;
        }
        if (m_held) {
            ++m_waitingAtHold;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return !m_held; });
            --m_waitingAtHold;
        }
        delay = m_delay;
    }
    if (delay.count() > 0)
        std::this_thread::sleep_for(delay);
    const int rc = real->pMethods->xSync(real, flags);
    std::lock_guard lock(m_mutex);
    ++m_flushes;
    m_lastFlushThread = std::this_thread::get_id();
    return rc;
}

} // namespace vorlanx::db
