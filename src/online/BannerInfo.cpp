#include "online/BannerInfo.h"

#include "online/BannerNames.h"
#include "store/Archive.h"

CBannerInfo::CBannerInfo(std::string imageFile, std::string link, std::int32_t duration)
    : m_imageFile(std::move(imageFile)), m_link(std::move(link)), m_duration(duration)
{
}

const CRuntimeClass& CBannerInfo::RuntimeClass()
{
    static const CRuntimeClass rc{"CBannerInfo", 1, [] { return std::unique_ptr<CObject>(new CBannerInfo); }};
    static const bool registered = (runtime_classes::Register(rc), true);
    (void)registered;
    return rc;
}

void CBannerInfo::Serialize(CArchive& ar)
{
    ar.Transfer(m_imageFile);
    ar.Transfer(m_link);
    ar.Transfer(m_duration);
}

bool CBannerInfo::HasPlainImageName() const
{
    return banner_names::IsPictureName(m_imageFile);
}
