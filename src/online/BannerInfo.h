#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/Object.h"

// One advertisement banner of the index file: the picture to show, where a click leads and for
// how many rotation ticks it stays.
class CBannerInfo final : public CObject
{
public:
    CBannerInfo() = default;
    CBannerInfo(std::string imageFile, std::string link, std::int32_t duration);

    static const CRuntimeClass& RuntimeClass();
    const CRuntimeClass& GetRuntimeClass() const override { return RuntimeClass(); }
    void Serialize(CArchive& ar) override;
    std::unique_ptr<CObject> Clone() const override { return std::make_unique<CBannerInfo>(*this); }

    const std::string& GetImageFile() const { return m_imageFile; }
    const std::string& GetLink() const { return m_link; }
    std::int32_t GetDuration() const { return m_duration; }

    // The image name comes from the network; only a plain picture name may become a path in the
    // data directory (see banner_names::IsPictureName).
    bool HasPlainImageName() const;

private:
    std::string m_imageFile;
    std::string m_link;
    std::int32_t m_duration = 0;
};

// The banner list in index order; the main window owns it.
using CBannerList = std::vector<std::unique_ptr<CBannerInfo>>;
