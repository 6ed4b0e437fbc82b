#include "db/PrivateFile.h"

#ifdef _WIN32
#include "db/FilePath.h"

#include <fstream>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vorlanx::db {

bool createPrivateFile(const std::string& file) {
#ifdef _WIN32
    std::ofstream out(filePath(file), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out);
#else
    ::unlink(file.c_str());
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    return ::close(fd) == 0;
#endif
}

} // namespace vorlanx::db
