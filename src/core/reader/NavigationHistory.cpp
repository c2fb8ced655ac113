#include "NavigationHistory.h"

#include <algorithm>

void NavigationHistory::opened(int page, bool fromLink, bool reopenedByBack)
{
    if (fromLink) {
        m_fromLink = true;
        m_isBackOther = true;
    } else {
        m_firstOpen = true;
        m_otherBook = reopenedByBack;
    }
    m_page = std::max(0, page);
    saveLastPage();
    m_backEnabled = m_isBackOther;
}

void NavigationHistory::navigationStarted(std::optional<int> page, std::optional<int> fragmentScrollY)
{
    // A jump to a place keeps where the page was, for going back.
    if (fragmentScrollY) {
        saveLastPage();
        m_offset = *fragmentScrollY;
        m_offsetEmpty = false;
    }
    pageNavigated(page);
}

void NavigationHistory::jumpedWithinDocument(std::optional<int> page, std::optional<int> offsetBefore)
{
    saveLastPage();
    if (offsetBefore && *offsetBefore >= 0) {
        m_offset = *offsetBefore;
        m_offsetEmpty = false;
    }
    pageNavigated(page);
}

void NavigationHistory::pageNavigated(std::optional<int> page)
{
    if (page) {
        m_page = *page;
        m_otherPage = m_pageBefore != page;
        m_pageBefore = page;
    }
    if (!m_firstOpen || m_fromLink) {
        m_fromLink = false;
        m_backEnabled = true;
    } else {
        m_firstOpen = false;
        m_backEnabled = false;
    }
}

void NavigationHistory::navigationSettled()
{
    if (m_otherBook) {
        m_otherBook = false;
        m_backEnabled = false;
    }
}

void NavigationHistory::movedByReader()
{
    m_isBackOther = false;
    saveLastPage();
}

int NavigationHistory::turn(int delta, int pageCount)
{
    movedByReader();
    m_page = std::clamp(m_page + delta, 0, std::max(0, pageCount - 1));
    return m_page;
}

void NavigationHistory::showPage(int page)
{
    m_page = page;
}

void NavigationHistory::jumpTo(int page)
{
    saveLastPage();
    m_page = page;
}

NavigationHistory::Back NavigationHistory::back()
{
    if (!m_backEnabled)
        return {};
    m_backEnabled = false;
    if (m_isBackOther)
        return { Back::OtherBook, m_lastPage, 0 };
    if (m_offsetEmpty) {
        const int page = m_lastPage;
        saveLastPage();
        m_page = page;
        return { Back::ShowPage, page, 0 };
    }
    if (m_otherPage) {
        // Back to the page before, then to where it was scrolled.
        m_backFlag = true;
        const int page = m_lastPage;
        saveLastPage();
        m_page = page;
        return { Back::ShowPageScroll, page, m_offset };
    }
    // An in-page jump: only the scroll position goes back.
    m_offsetEmpty = true;
    saveLastPage();
    return { Back::Scroll, m_page, m_offset };
}

std::optional<int> NavigationHistory::loadFinished()
{
    if (!(m_otherPage && m_backFlag))
        return std::nullopt;
    m_otherPage = m_backFlag = false;
    m_offsetEmpty = true;
    saveLastPage();
    return m_offset;
}
