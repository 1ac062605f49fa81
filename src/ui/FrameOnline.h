#pragma once

#include <string>

#include "app/OnlineUpdate.h"
#include "online/BannerInfo.h"

class CBannerBar;
class CBrivantelDoc;
class CBrivantelFrame;
class CSettingsStore;

// The main window's online part: it owns the banner list and the banner bar, turns the banner
// timer's ticks into the rotation, and runs the start-up sequence: the daily update when due, the
// banner list from the index file, then the new-version question.
class CFrameOnline
{
public:
    CFrameOnline(CBrivantelFrame& frame, CBrivantelDoc& document, CSettingsStore& settings);
    ~CFrameOnline();
    CFrameOnline(const CFrameOnline&) = delete;
    CFrameOnline& operator=(const CFrameOnline&) = delete;

    // The start-up sequence, once the window is shown. On "Tak" to the new version the download
    // address is opened and the window is asked to close (the ordinary close sequence follows).
    void RunStartup();
    // Reads the index file from the data directory and shows the bar by the list.
    void LoadBannerList();
    void Tick();

    CBannerList& GetList() { return m_list; }
    CBannerBar& GetBar() { return *m_bar; }

    // The directory of the data file, where the index and the pictures live; empty without one.
    std::string DataDirectory() const;

private:
    void ShowBar(bool shown);

    CBrivantelFrame& m_frame;
    CBrivantelDoc& m_document;
    CSettingsStore& m_settings;
    CBannerList m_list;
    CBannerBar* m_bar;
    COnlineUpdate::Report m_report;
};
