#include "pages/pagestate.h"

namespace {

struct StateName
{
    PageState state;
    const char* name;
};

constexpr StateName StateNames[] = {
    {PageState::Accepting, "accepting"}, {PageState::Queued, "queued"},
    {PageState::Held, "held"},           {PageState::Sending, "sending"},
    {PageState::Delivered, "delivered"}, {PageState::Failed, "failed"},
    {PageState::Expired, "expired"},     {PageState::Cancelled, "cancelled"}};

struct FrontEndName
{
    FrontEnd frontEnd;
    const char* name;
};

constexpr FrontEndName FrontEndNames[] = {{FrontEnd::Workstation, "workstation"},
                                          {FrontEnd::Snpp, "snpp"},
                                          {FrontEnd::Http, "http"},
                                          {FrontEnd::Alertmanager, "alertmanager"},
                                          {FrontEnd::Test, "test"},
                                          {FrontEnd::Unknown, "unknown"}};

} // namespace

QByteArray PageStates::name(PageState state)
{
    for (const StateName& n : StateNames) {
        if (n.state == state)
            return n.name;
    }
    return {};
}

std::optional<PageState> PageStates::fromName(QByteArrayView name)
{
    for (const StateName& n : StateNames) {
        if (name == n.name)
            return n.state;
    }
    return std::nullopt;
}

bool PageStates::isFinal(PageState state)
{
    return state == PageState::Delivered || state == PageState::Failed ||
           state == PageState::Expired || state == PageState::Cancelled;
}

bool PageStates::canMove(PageState from, PageState to)
{
    switch (from) {
    case PageState::Accepting:
        return to == PageState::Queued || to == PageState::Held;
    case PageState::Held:
        return to == PageState::Queued || to == PageState::Failed || to == PageState::Expired ||
               to == PageState::Cancelled;
    case PageState::Queued:
        return to == PageState::Sending || to == PageState::Failed || to == PageState::Expired ||
               to == PageState::Cancelled;
    case PageState::Sending:
        return to == PageState::Queued || to == PageState::Delivered || to == PageState::Failed;
    case PageState::Delivered:
    case PageState::Failed:
    case PageState::Expired:
    case PageState::Cancelled:
        return false;
    }
    return false;
}

QByteArray PageStates::frontEndName(FrontEnd frontEnd)
{
    for (const FrontEndName& n : FrontEndNames) {
        if (n.frontEnd == frontEnd)
            return n.name;
    }
    return {};
}

std::optional<FrontEnd> PageStates::frontEndFromName(QByteArrayView name)
{
    for (const FrontEndName& n : FrontEndNames) {
        if (name == n.name)
            return n.frontEnd;
    }
    return std::nullopt;
}
