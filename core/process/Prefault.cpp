#include "process/Prefault.h"

#include <sys/mman.h>
#include <unistd.h>

void prefaultForWriting(void *data, qsizetype size)
{
#ifdef MADV_POPULATE_WRITE
    static const quintptr pageSize = quintptr(::sysconf(_SC_PAGESIZE));
    if (size < qsizetype(16 * pageSize))
        return;
    const quintptr begin = (quintptr(data) + pageSize - 1) & ~(pageSize - 1);
    const quintptr end = (quintptr(data) + quintptr(size)) & ~(pageSize - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}
