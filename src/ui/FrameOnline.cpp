#include "ui/FrameOnline.h"

#include <QDockWidget>
#include <QFileInfo>
#include <QLayout>

#include "app/Document.h"
#include "app/MakerAddresses.h"
#include "app/SettingsKeys.h"
#include "app/qt/TextCodec.h"
#include "app/qt/WebAddress.h"
#include "online/BannerIndex.h"
#include "ui/BrivantelFrame.h"
#include "ui/controls/BannerBar.h"
#include "ui/controls/BannerCtrl.h"
#include "ui/controls/BannerLabelCtrl.h"

CFrameOnline::CFrameOnline(CBrivantelFrame& frame, CBrivantelDoc& document, CSettingsStore& settings)
    : m_frame(frame), m_document(document), m_settings(settings),
      m_bar(new CBannerBar(&frame.GetBannerHolder()))
{
    frame.GetBannerHolder().layout()->addWidget(m_bar);
    const std::string host = settings.Get(settings_keys::kMakerHost);
    m_bar->GetLabel().SetAddress(QString::fromStdString(maker_addresses::AdvertisingPage(host)));
    CBannerCtrl& banner = m_bar->GetBanner();
    banner.SetDefaultAddress(web_address::HomePage(settings));
    banner.SetUserInterface(&document.GetUserInterface());
    banner.SetDataDirectory(DataDirectory());
    banner.SetList(&m_list);
    // A picture that cannot be shown hides the bar until a later banner's picture can.
    QObject::connect(&banner, &CBannerCtrl::pictureLoaded, &frame, [this](bool shown) { ShowBar(shown); });
    frame.SetBannerTick([this] { Tick(); });
    frame.SetOnlineWork([this] { RunStartup(); });
}

CFrameOnline::~CFrameOnline()
{
    // The bar refers to the list: it goes first.
    delete m_bar;
}

std::string CFrameOnline::DataDirectory() const
{
    const std::string& path = m_document.GetPath();
    if (path.empty())
        return {};
    return QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
}

void CFrameOnline::ShowBar(bool shown)
{
    m_frame.GetBannerBar().setVisible(shown);
}

void CFrameOnline::Tick()
{
    m_bar->GetBanner().Tick();
}

void CFrameOnline::LoadBannerList()
{
    const std::string dir = DataDirectory();
    if (dir.empty())
        return;
    banner_index::LoadBannerList(dir, m_list);
    CBannerCtrl& banner = m_bar->GetBanner();
    banner.SetDataDirectory(dir);
    // A list with entries shows the bar, blank: the first picture comes with the first advance of
    // the rotation, and a picture that cannot be shown hides the bar from that advance on.
    ShowBar(!m_list.empty());
    banner.update();
}

void CFrameOnline::RunStartup()
{
    const std::string dir = DataDirectory();
    if (dir.empty())
        return;
    COnlineUpdate::Config config;
    config.serverHost = m_settings.Get(settings_keys::kMakerHost);
    config.dataDir = dir;
    COnlineUpdate update(m_document.GetUserInterface(), m_settings, m_document.GetSettings(), config);
    m_report = {};
    const update_schedule::Date today = update_schedule::Today();
    if (update_schedule::IsDue(m_settings, today))
        update.Download(m_list, m_report, today);
    LoadBannerList();
    // The question comes after the banners are in place; the list is read once more on the way.
    if (update.Run(false, m_list, m_report, today) != COnlineUpdate::Outcome::FetchNewVersion)
        return;
    web_address::OpenQuietly(QString::fromStdString(update.DownloadAddress()));
    QMetaObject::invokeMethod(&m_frame, &QWidget::close, Qt::QueuedConnection);
}
