// Reading the data file once through, a window at a time: for a reader that needs every message
// once and none of them afterwards, so that memory stays small however large the file is.
#include "app/Document.h"

#include <cerrno>
#include <new>
#include <unistd.h>

#include "app/DataFile.h"
#include "store/Archive.h"

namespace {

class CFileSource final : public CArchiveSource
{
public:
    CFileSource(int fd, std::size_t size) : m_fd(fd), m_size(size) {}
    ~CFileSource() override { ::close(m_fd); }
    CFileSource(const CFileSource&) = delete;
    CFileSource& operator=(const CFileSource&) = delete;

    std::size_t Size() const override { return m_size; }
    bool ReadAt(std::size_t offset, std::uint8_t* to, std::size_t n) override
    {
        while (n > 0) {
            const ssize_t got = ::pread(m_fd, to, n, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false; // an error, or the file got shorter meanwhile
            to += got;
            offset += static_cast<std::size_t>(got);
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int m_fd;
    std::size_t m_size;
};

} // namespace

bool CBrivantelDoc::ReadThrough(const std::string& path, CDocumentReader* reader)
{
    data_file::Error error;
    std::uint64_t size = 0;
    const std::optional<int> fd = data_file::OpenForReading(path, size, error);
    if (!fd)
        return false;
    CFileSource source(*fd, static_cast<std::size_t>(size));
    const std::vector<CEncodedRecords::Record> records = Records();
    std::size_t index = 0;
    bool whole = true;
    if (size > 0) { // an empty file is a new document's: every record keeps its defaults
        CArchive ar(source);
        try {
            for (; index < records.size(); ++index) {
                const CEncodedRecords::Record& record = records[index];
                if (record.folder) {
                    const auto shown = [&](const CMessage& message) {
                        if (reader)
                            reader->MessageRead(index, message);
                    };
                    if (!record.folder->ReadThrough(ar, shown)) {
                        whole = false;
                        break;
                    }
                } else {
                    record.serialize(ar);
                }
                if (reader)
                    reader->RecordRead(index);
            }
            whole = whole && ar.Remaining() == 0;
        } catch (const CArchiveException&) {
            whole = false;
        } catch (const CArchiveSkippedObject&) {
            whole = false;
        } catch (const std::bad_alloc&) {
            whole = false;
        }
    }
    for (; reader && index < records.size(); ++index)
        reader->RecordRead(index);
    return whole;
}
