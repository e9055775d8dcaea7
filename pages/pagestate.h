#pragma once

#include <QByteArray>

#include <optional>

// Where a page is on its way to the pager. A page is "accepting" only between the durable
// insert of its record and its queue write; every page that was answered "250" is in one of the
// other states. Delivered, failed, expired and cancelled are final: a page in one of them never
// changes state again.
enum class PageState { Accepting, Queued, Held, Sending, Delivered, Failed, Expired, Cancelled };

// Which front end handed the page in. Unknown is a page found in Message.Dat without a record
// (written by hand, or left by a server without the page store).
enum class FrontEnd { Workstation, Snpp, Http, Alertmanager, Test, Unknown };

namespace PageStates {

constexpr PageState All[] = {PageState::Accepting, PageState::Queued,    PageState::Held,
                             PageState::Sending,   PageState::Delivered, PageState::Failed,
                             PageState::Expired,   PageState::Cancelled};

// "queued", "held", ... as stored and as shown.
QByteArray name(PageState state);
std::optional<PageState> fromName(QByteArrayView name);

bool isFinal(PageState state);

// Whether a page may go from `from` to `to`:
//   accepting -> queued | held                      (its queue write is done)
//   held      -> queued                             (its time has come)
//   queued    -> sending                            (its call has it in hand)
//   sending   -> queued                             (the call ended before the terminal answered)
//   sending   -> delivered                          (the terminal acknowledged every block)
//   queued | held | sending -> failed               (refused by the terminal or the engine)
//   queued | held -> expired | cancelled            (too old; the operator cleared the queue)
bool canMove(PageState from, PageState to);

QByteArray frontEndName(FrontEnd frontEnd);
std::optional<FrontEnd> frontEndFromName(QByteArrayView name);

} // namespace PageStates
