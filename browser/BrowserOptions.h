#pragma once
// The two option sets of the image view and the flag values they stand for:
// one bit per member, summed by member order. Safe from any thread.

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace browser {

enum class TDownloadControlOption {
    DownloadImages, DownloadVideos, DownloadBGSounds, DontExecuteScripts, DontExecuteJava, DontExecuteActiveX,
    DontDownloadActiveX, DownloadButDontDisplay, DontDownloadFrame, CheckPageResynchronize, DownloadAndIgnoreCache,
    DontDownloadBehaviors, SuppressedMetaCharset, DisableUrlIfEncodingUTF8, EnableUrlIfEncodingUTF8,
    ForceOfflineMode, DontPerformClientPull, DonloadInSilentMode, WorkOffline
};
constexpr size_t kDownloadControlOptionCount = 19;

// EnableDomWindowedControls is ours: the flag list has a member between
// EnableDomWindlessControls and ForceUserActivationOnActiveXJava, whose name
// the design leaves out; without it the last member would take the wrong bit.
enum class TUserInterfaceOption {
    DisableTextSelect, DisableHelpMenu, DontUse3DBorders, DontUseScrollBars, PostponeScriptUntilActive,
    ForceOpenNewWindow, Reserved_OFFSCREEN, ForceFlatScrollBars, InsertDivTagOnEditMode, ActivateUIOnlyOnDocClick,
    ConsultBeforeRetrievingBehavior, CheckFontSupportsCodePage, DisableSubmitUrlInUTF8, EnableSubmitUrlInUTF8,
    EnablesFormsAutoComplete, ForceSameWindowNavigation, EmableImeLocalLanguages, EnableThemes, DisableThemes,
    DisablePicsRatings, DisableFrameSetBorder, DisablesAutoNameSpaceCorrection, DisableLocalFileAccess,
    DisableUntrustedProtocol, CheckNavigationDelegatedToHost, EnableRedirectNotification, EnableDomWindlessControls,
    EnableDomWindowedControls, ForceUserActivationOnActiveXJava
};
constexpr size_t kUserInterfaceOptionCount = 29;

// A set of members of one option enumeration (at most 32 members).
template <typename Option>
class TOptionSet {
public:
    constexpr TOptionSet() = default;
    constexpr TOptionSet(std::initializer_list<Option> members) {
        for (const Option member : members) include(member);
    }
    constexpr bool contains(Option member) const { return (m_members >> static_cast<unsigned>(member)) & 1u; }
    constexpr void include(Option member) { m_members |= 1u << static_cast<unsigned>(member); }
    constexpr void exclude(Option member) { m_members &= ~(1u << static_cast<unsigned>(member)); }
    constexpr bool empty() const { return m_members == 0; }
    constexpr bool operator==(const TOptionSet&) const = default;

private:
    uint32_t m_members = 0;
};

using TDownloadControlOptions = TOptionSet<TDownloadControlOption>;
using TUserInterfaceOptions = TOptionSet<TUserInterfaceOption>;

// The platform flag of one member.
uint32_t downloadControlBit(TDownloadControlOption member);
uint32_t userInterfaceBit(TUserInterfaceOption member);

// The sum of the members' flags; 0 for an empty set.
uint32_t downloadControlValue(TDownloadControlOptions options);
uint32_t userInterfaceValue(TUserInterfaceOptions options);

// What the security-image dialog (and a new view) uses: images, videos and
// background sounds, nothing forbidden (0x70); no user-interface flags.
inline const TDownloadControlOptions kDefaultDownloadOptions{
    TDownloadControlOption::DownloadImages, TDownloadControlOption::DownloadVideos,
    TDownloadControlOption::DownloadBGSounds};
inline const TUserInterfaceOptions kDefaultUserInterfaceOptions{};

}  // namespace browser
