#include "engine/doc/tree_writer.h"

namespace vistrel {

bool TreeWriter::putNode(const WString& key, Storable& storable) {
    return begin(key) && storable.save(*this) && end();
}

bool TreeWriter::putString(const WString& key, const WString& text) {
    return begin(key) && value(text) && end();
}

bool TreeReader::getNode(const WString&, Storable& storable) {
    return storable.load(*this);
}

}  // namespace vistrel
