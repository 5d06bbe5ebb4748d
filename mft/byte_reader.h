#ifndef VARNETH_MFT_BYTE_READER_H
#define VARNETH_MFT_BYTE_READER_H

// The one way the decoders touch a record buffer: a non-owning, bounds-checked
// little-endian view. Every read is checked against the view's size with
// 64-bit arithmetic that cannot overflow; a read that does not fit returns 0,
// marks the view as failed (sticky, so many fields can be read and checked
// once) and never touches memory outside the view. Nothing here throws or
// allocates.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const unsigned char* data, std::size_t size) : data_(data), size_(data ? size : 0) {}

    std::uint64_t size() const { return size_; }
    bool failed() const { return failed_; }
    bool ok() const { return !failed_; }

    // True when [offset, offset + length) lies inside the view. Does not mark
    // a failure: use it to decide before reading.
    bool Fits(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= size_ && length <= size_ - offset;
    }

    // Reads at an offset inside the view.
    std::uint8_t U8At(std::uint64_t offset) { return static_cast<std::uint8_t>(ReadAt(offset, 1)); }
    std::uint16_t U16At(std::uint64_t offset) { return static_cast<std::uint16_t>(ReadAt(offset, 2)); }
    std::uint32_t U32At(std::uint64_t offset) { return static_cast<std::uint32_t>(ReadAt(offset, 4)); }
    std::uint64_t U48At(std::uint64_t offset) { return ReadAt(offset, 6); }
    std::uint64_t U64At(std::uint64_t offset) { return ReadAt(offset, 8); }

    // Copies length bytes at offset into out. When they do not fit, out is
    // zero-filled, the view is marked failed and false is returned.
    bool CopyBytesAt(std::uint64_t offset, unsigned char* out, std::size_t length)
    {
        if (!Fits(offset, length)) {
            failed_ = true;
            if (length > 0) {
                std::memset(out, 0, length);
            }
            return false;
        }
        if (length > 0) {
            std::memcpy(out, data_ + offset, length);
        }
        return true;
    }

    // Reads count 16-bit units at offset into out (of any integer type that
    // holds them), as U16At would one by one. When they do not fit, out is
    // zero-filled, the view is marked failed and false is returned.
    template <typename Unit>
    bool U16sAt(std::uint64_t offset, Unit* out, std::size_t count)
    {
        if (count > size_ / 2 || !Fits(offset, 2 * std::uint64_t{count})) {
            failed_ = true;
            std::fill(out, out + count, Unit{0});
            return false;
        }
        const unsigned char* units = data_ + offset;
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = static_cast<Unit>(LoadLittleEndian(units + 2 * i, 2));
        }
        return true;
    }

    // A view of [offset, offset + length) of this one.
    // When the range does not fit, both this view and the returned (empty)
    // one are marked failed.
    ByteReader SubReader(std::uint64_t offset, std::uint64_t length)
    {
        if (!Fits(offset, length)) {
            failed_ = true;
            ByteReader empty;
            empty.failed_ = true;
            return empty;
        }
        return ByteReader(data_ + offset, static_cast<std::size_t>(length));
    }

    // The part of [offset, offset + length) that lies inside the view (empty
    // when offset is past the end). Never fails: for data that may be cut at
    // the end of the buffer on purpose.
    ByteReader ClampedSubReader(std::uint64_t offset, std::uint64_t length) const
    {
        if (offset >= size_) {
            return ByteReader();
        }
        std::uint64_t available = size_ - offset;
        return ByteReader(data_ + offset, static_cast<std::size_t>(length < available ? length : available));
    }

protected:
    void MarkFailed() { failed_ = true; }

    std::uint64_t ReadAt(std::uint64_t offset, unsigned width)
    {
        if (!Fits(offset, width)) {
            failed_ = true;
            return 0;
        }
        return LoadLittleEndian(data_ + offset, width);
    }

    static std::uint64_t LoadLittleEndian(const unsigned char* p, unsigned width)
    {
        std::uint64_t value = 0;
        if constexpr (kLittleEndianHost) {
            if (width == 2) {  // a load of the unit's own size, which a loop of them can vectorise
                std::uint16_t unit;
                std::memcpy(&unit, p, 2);
                return unit;
            }
            std::memcpy(&value, p, width);
        } else {
            for (unsigned i = 0; i < width; ++i) {
                value |= static_cast<std::uint64_t>(p[i]) << (8 * i);
            }
        }
        return value;
    }

private:
    // On such a host a little-endian value is its bytes as they lie: one
    // load, not a shift and an or per byte (the compiler does not merge
    // those itself).
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    static constexpr bool kLittleEndianHost = true;
#else
    static constexpr bool kLittleEndianHost = false;
#endif

    const unsigned char* data_ = nullptr;
    std::uint64_t size_ = 0;
    bool failed_ = false;
};

// The same view over a buffer that may be written: adds bounds-checked
// little-endian stores. A store that does not fit writes nothing and marks
// the view failed.
class ByteWriter : public ByteReader {
public:
    ByteWriter(unsigned char* data, std::size_t size) : ByteReader(data, size), writable_(data) {}

    bool PutU16At(std::uint64_t offset, std::uint16_t value) { return WriteAt(offset, value, 2); }

private:
    bool WriteAt(std::uint64_t offset, std::uint64_t value, unsigned width)
    {
        if (!Fits(offset, width)) {
            MarkFailed();
            return false;
        }
        for (unsigned i = 0; i < width; ++i) {
            writable_[offset + i] = static_cast<unsigned char>(value >> (8 * i));
        }
        return true;
    }

    unsigned char* writable_;
};

#endif
