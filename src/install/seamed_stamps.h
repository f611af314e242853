#pragma once
// The file stamps an install sets (times and attributes) pass the file layer's fault seam like every
// other change it makes to the disk. Unarmed, it only hands the calls on.
#include "common/fault_seam.h"
#include "platform/services.h"

namespace qv::install {

class SeamedStamps : public platform::FileStamps {
 public:
  explicit SeamedStamps(platform::FileStamps& inner) : inner_(inner) {}
  bool setDosDateTime(const std::string& path, uint32_t dosDateTime) override {
    return files::seam::allow(files::seam::Operation::SetTime, path) &&
           inner_.setDosDateTime(path, dosDateTime);
  }
  uint32_t dosDateTime(const std::string& path) const override { return inner_.dosDateTime(path); }
  bool setAttributes(const std::string& path, uint32_t attributes) override {
    return files::seam::allow(files::seam::Operation::SetAttributes, path) &&
           inner_.setAttributes(path, attributes);
  }
  uint32_t attributes(const std::string& path) const override { return inner_.attributes(path); }

 private:
  platform::FileStamps& inner_;
};

}  // namespace qv::install
