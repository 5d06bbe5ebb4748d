#ifndef VARNETH_MFT_SPARE_OBJECTS_H
#define VARNETH_MFT_SPARE_OBJECTS_H

// Attribute objects a record has finished with, kept for its next decoding
// so that a run of millions of records does not allocate and free them (and
// their names' storage) again for every record. There are never more spares
// than one record held at once, and the attribute walk bounds that.

#include <memory>
#include <vector>

template <typename T>
class SpareObjects {
public:
    // A cleared object: a spare when there is one, else a new one.
    std::unique_ptr<T> Take()
    {
        if (spares_.empty()) {
            return std::make_unique<T>();
        }
        std::unique_ptr<T> object = std::move(spares_.back());
        spares_.pop_back();
        object->Clear();
        return object;
    }

    // Takes over every object of the owning array and empties it (null
    // entries are skipped); the array keeps its capacity.
    void KeepAll(std::vector<T*>& array)
    {
        for (T*& object : array) {
            if (object != nullptr) {
                std::unique_ptr<T> owned(object);
                object = nullptr;
                spares_.push_back(std::move(owned));
            }
        }
        array.clear();
    }

    std::size_t size() const { return spares_.size(); }

private:
    std::vector<std::unique_ptr<T>> spares_;
};

#endif
