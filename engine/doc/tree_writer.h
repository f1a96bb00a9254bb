// Storing trees as nested dictionaries: the Storable interface of a tree
// node and the writer and reader it stores itself with.
#pragma once

#include "engine/core/wstring.h"

namespace vistrel {

class TreeWriter;
class TreeReader;

// A tree node that stores its values and children through a writer and
// reads them back through a reader.
class Storable {
public:
    virtual ~Storable() = default;
    // Stores the node's values with putString and each child with putNode.
    virtual bool save(TreeWriter& writer) = 0;
    // Reads them back with getString and getNode.
    virtual bool load(TreeReader& reader) = 0;
};

class TreeWriter {
public:
    virtual bool begin(const WString& key) = 0;
    virtual bool value(const WString& text) = 0;
    virtual bool end() = 0;
    virtual ~TreeWriter() = default;
    // begin(key), the storable's save, end(); stops at the first failure.
    virtual bool putNode(const WString& key, Storable& storable);
    // begin(key), value(text), end(); stops at the first failure.
    virtual bool putString(const WString& key, const WString& text);
    // Writes what was stored; the result is the writer's own.
    virtual int save() = 0;
};

class TreeReader {
public:
    virtual ~TreeReader() = default;
    // Has the storable load itself from this reader (the key is not used).
    virtual bool getNode(const WString& key, Storable& storable);
    virtual bool getString(const WString& key, WString& text) = 0;
};

}  // namespace vistrel
