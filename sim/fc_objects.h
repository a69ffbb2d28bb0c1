// Named objects in the storage of a simulated SLI-4 FC function, kept as
// files below <sysroot>/.hlvdsim/fc_objects/<adapter>/pf<function>/, one per
// object, the file named by the hexadecimal bytes of the object's name. A
// write in pieces is staged beside the objects and replaces the object only
// when its last piece arrives, so an interrupted write leaves the old one.
#ifndef HLVD_SIM_FC_OBJECTS_H
#define HLVD_SIM_FC_OBJECTS_H

#include <cstdint>
#include <string>
#include <vector>

namespace hlvdsim
{

// The directory of one function's objects.
std::string fc_object_dir(const std::string &sysroot, const std::string &adapter, size_t function);

bool fc_object_exists(const std::string &dir, const std::string &name);
bool fc_object_get(const std::string &dir, const std::string &name, std::vector<uint8_t> &out);
// Size of an object; false when there is none.
bool fc_object_size(const std::string &dir, const std::string &name, uint64_t *size);
bool fc_object_put(const std::string &dir, const std::string &name, const std::vector<uint8_t> &data);
bool fc_object_remove(const std::string &dir, const std::string &name);
// The names of the objects in sorted order.
std::vector<std::string> fc_object_names(const std::string &dir);

// Staged write: a piece at offset 0 starts the stage afresh, a later piece
// must follow the bytes staged (false otherwise). `staged` receives the
// length after the piece.
bool fc_object_stage(const std::string &dir, const std::string &name, uint64_t offset, const uint8_t *data,
                     size_t len, uint64_t *staged);
bool fc_object_staged(const std::string &dir, const std::string &name, std::vector<uint8_t> &out);
// The stage becomes the object.
bool fc_object_commit(const std::string &dir, const std::string &name);
void fc_object_drop_stage(const std::string &dir, const std::string &name);

} // namespace hlvdsim

#endif
