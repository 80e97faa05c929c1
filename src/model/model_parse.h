// Shared state of one model parse: the cursor over the file, the model being filled, the layout
// generation and the work budget. Used by the top-level record reader and the element records.
#pragma once

#include <algorithm>
#include <cstdint>

#include "model/model.h"
#include "model/parse_budget.h"
#include "model/read_cursor.h"

namespace vexmara {

struct ModelParse {
  ReadCursor& cursor;
  Model& model;
  int32_t version = 0;
  ParseBudget budget;

  ModelParse(ReadCursor& c, Model& m) : cursor(c), model(m), budget(c.length) {}

  // The array rule. `presenceCount` is the count whose zero makes the array absent; `n` records
  // of `recordBytes` bytes are to be read from the array's start (the last `untestedTail` bytes
  // of the last record are never read). On success `data` points at the first record, or is null
  // when nothing is to be read (absent array, or n <= 0). Fails when the records do not fit in
  // the file, or when reading them (and storing `storedBytes` per record) would exceed the
  // budget: such a file is rejected before anything is reserved for it.
  bool LocateArray(DataRef ref, int64_t presenceCount, int64_t n, uint64_t recordBytes,
                   uint64_t untestedTail, uint64_t storedBytes, const uint8_t** data) {
    *data = nullptr;
    if (!ref.present() || presenceCount == 0 || n <= 0) return true;
    const uint64_t needed = uint64_t(n) * recordBytes - untestedTail;
    if (!cursor.Holds(ref.start(), needed)) return false;
    if (!budget.Spend(uint64_t(n) * std::max(recordBytes, storedBytes))) return false;
    *data = cursor.buffer + ref.start();
    return true;
  }
};

// Element records of the model file.
bool ReadBones(ModelParse& parse, int32_t count, DataRef ref);
bool ReadSubmeshes(ModelParse& parse, Geoset& geoset, int32_t count, DataRef ref);
bool ReadMaterials(ModelParse& parse, int32_t count, int32_t variantCount, DataRef ref);
bool ReadVariantNames(ModelParse& parse, int32_t count, DataRef ref);

// Counters are sums of counts as the file states them; a hostile file must not make them
// overflow, so they wrap instead.
inline int32_t WrappingAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }

}  // namespace vexmara
