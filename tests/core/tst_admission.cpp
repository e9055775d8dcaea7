#include "core/admission.h"
#include "core/peraddresslimit.h"

#include "tests/support/servercoretest.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using NumberCheck = Admission::NumberCheck;

// The one admission every front end and the run ask, on the settings in use.
class AdmissionTest : public ServerCoreTest
{
protected:
    Admission admission{core};
};

TEST(Admission, AccessNumberMustHoldADigitAndOnlyDiallingCharacters)
{
    for (const char* good : {"5551234567", "(555) 123-4567", "9,555#", "*70,555", "1"})
        EXPECT_TRUE(Admission::isDiallable(good)) << good;
    for (const char* bad : {"", "   ", "-()", "555;ATH", "555\r", "555+1", "ATDT555", "555.1"})
        EXPECT_FALSE(Admission::isDiallable(bad)) << bad;
}

TEST_F(AdmissionTest, ANumberMayBeDialledOnlyWhenDiallableAndAllowedByTheListAsItStandsNow)
{
    core.setAllowList({"555"});
    EXPECT_EQ(admission.checkNumber("(555) 123-4567"), NumberCheck::Allowed);
    EXPECT_TRUE(admission.mayDial("5551234"));
    // The list alone would let modem commands after an allowed prefix through.
    EXPECT_EQ(admission.checkNumber("5551234;S0=1"), NumberCheck::NotDiallable);
    EXPECT_FALSE(admission.mayDial("5551234;S0=1"));
    EXPECT_TRUE(admission.allowListAllows("5551234;S0=1")) << "the workstations' PAGE answer";
    EXPECT_EQ(admission.checkNumber("7771234"), NumberCheck::NotAllowed);
    EXPECT_FALSE(admission.allowListAllows("7771234"));

    core.setAllowList({"777"});
    EXPECT_TRUE(admission.mayDial("7771234"));
    EXPECT_EQ(admission.checkNumber("5551234"), NumberCheck::NotAllowed);
    core.setAllowList({});
    EXPECT_EQ(admission.checkNumber("7771234"), NumberCheck::NotAllowed);
}

TEST_F(AdmissionTest, AddressesFollowTheListsOfTheSettingsInUse)
{
    EXPECT_TRUE(admission.addressAdmitted("10.0.0.1")) << "both lists empty";
    configure([](TServerConfig& c) {
        c.IPDeny = "10.*";
        c.IPAccept = "10.0.0.5";
    });
    EXPECT_FALSE(admission.addressAdmitted("10.0.0.1"));
    EXPECT_TRUE(admission.addressAdmitted("10.0.0.5"));
    EXPECT_TRUE(admission.addressAdmitted("192.168.1.1"));
}

TEST(PerAddressLimit, AnAddressHoldsAtMostItsPlacesUntilOneIsReleased)
{
    PerAddressLimit limit(2);
    std::optional<PerAddressLimit::Claim> first = limit.claim("10.0.0.1");
    std::optional<PerAddressLimit::Claim> second = limit.claim("10.0.0.1");
    ASSERT_TRUE(first && second);
    EXPECT_FALSE(limit.claim("10.0.0.1")) << "a third place for one address";
    EXPECT_EQ(limit.held("10.0.0.1"), 2);
    std::optional<PerAddressLimit::Claim> other = limit.claim("10.0.0.2");
    EXPECT_TRUE(other) << "another address has places of its own";

    first.reset();
    EXPECT_EQ(limit.held("10.0.0.1"), 1);
    std::optional<PerAddressLimit::Claim> again = limit.claim("10.0.0.1");
    ASSERT_TRUE(again);
    // A claim moved on is still one place, released once.
    PerAddressLimit::Claim moved = std::move(*again);
    again.reset();
    EXPECT_EQ(limit.held("10.0.0.1"), 2);
    {
        const PerAddressLimit::Claim last = std::move(moved);
        EXPECT_EQ(last.address(), "10.0.0.1");
    }
    EXPECT_EQ(limit.held("10.0.0.1"), 1);
    second.reset();
    EXPECT_EQ(limit.held("10.0.0.1"), 0);
}

TEST(PerAddressLimit, APlaceStopsCountingOnceItsHolderSaysSo)
{
    PerAddressLimit limit(1);
    bool live = true;
    std::optional<PerAddressLimit::Claim> gone = limit.claim("10.0.0.1", [&] { return live; });
    ASSERT_TRUE(gone);
    EXPECT_FALSE(limit.claim("10.0.0.1"));
    live = false;
    EXPECT_EQ(limit.held("10.0.0.1"), 0);
    std::optional<PerAddressLimit::Claim> next = limit.claim("10.0.0.1");
    ASSERT_TRUE(next);
    // Releasing the place that stopped counting frees nothing more.
    gone.reset();
    EXPECT_EQ(limit.held("10.0.0.1"), 1);
    EXPECT_FALSE(limit.claim("10.0.0.1"));
}

TEST(PerAddressLimit, AClaimThatOutlivesItsLimitReleasesNothing)
{
    std::optional<PerAddressLimit::Claim> kept;
    {
        PerAddressLimit limit(1);
        kept = limit.claim("10.0.0.1");
        ASSERT_TRUE(kept);
    }
    kept.reset(); // the sanitizers would see a release into the freed limit
    SUCCEED();
}

} // namespace
