// The panel's texts: MP and the shots carry a number in their names, the item
// slots are fixed texts owned through their progress flag, and the Airdash
// takes the Hoverdash's slot once the player has it.
#include "game/status_panel.h"

#include "game/game_state.h"

namespace {

struct FixedEntry {
  int icon;
  const char* name;
  const char* line1;
  const char* line2;
};

// Entries 104..119: item slot i is progress flag i and item icon 11 + i.
constexpr FixedEntry kItemSlots[16] = {
    {11, "Hoverdash [Upgrade]", "Enhances movement with magic.", "Glides over traps, but can't stop instantly."},
    {12, "High Jump [Upgrade]", "Magic feather that makes you feel lighter.", "You can now jump higher."},
    {13, "Break Power [Upgrade]", "Adds destruction ability to Blaze Shot.", "Some walls can now be destroyed."},
    {14, "Blast Power [Upgrade]", "Adds explosion ability to Blaze Shot.", "Explosion now forms on impact."},
    {15, "Blast Guard [Upgrade]", "Adds bullet clear ability to Blaze Shot.", "Impact blast now clears bullets."},
    {16, "Impact Power [Upgrade]", "Upgrades Gravity Shot.", "Some blocks can now be moved."},
    {17, "Chain Ring [Upgrade]", "Adds magic chain ability to Magic Shot.", "Shot now reacts to magic blocks."},
    {18, "Create Power [Upgrade]", "Adds creation ability to Magic Shot.", "Shot now creates blocks on impact."},
    {19, "True Eye [Upgrade]", "Magic eye that sees through everything.",
     "Previously invisible blocks will now appear."},
    {20, "Eternal Candle [Upgrade]", "Magic torch that never goes out.", "Lights up dark areas."},
    {21, "Hourglass [Upgrade]", "An hourglass that lets you take it easy.",
     "Slightly increases time limit on all floors."},
    {22, "Stability Pendant [Upgrade]", "Possesses the power to stabilize space-time.",
     "Slightly lessens the effects of inertia."},
    {23, "Fire Ruby Replica [Event Item]", "Replica of the Fire Treasure.", "Opens its gate on floor 100."},
    {24, "Aqua Sapphire Replica [Event Item]", "Replica of the Water Treasure.", "Opens its gate on floor 100."},
    {25, "Wind Emerald Replica [Event Item]", "Replica of the Wind Treasure.", "Opens its gate on floor 100."},
    {26, "Earth Diamond Replica [Event Item]", "Replica of the Earth Treasure.", "Opens its gate on floor 100."},
};

constexpr FixedEntry kAirdashEntry{27, "Airdash [Upgrade]", "Upgraded version of the hoverdash.",
                              "You can now dash once in mid-air."};

// Entries 100..103: the name is before + value + after. The spacing differs
// on purpose: only the Blaze name has a blank before "(LV".
constexpr FixedEntry kValuedEntries[4] = {
    {7, "Magic Points (Max : ", "Numerical representation of current magic.", "Expended to fire shots."},
    {8, "Blaze Shot (LV", "Shoots fireballs to attack.", "High power, low range."},
    {9, "Gravity Shot(LV", "Uses gravity to push enemies.", "Uses the least MP, but can't damage enemies."},
    {10, "Magic Shot(LV", "Transforms enemies into blocks.", "Powerful effect uses the most MP."},
};
constexpr const char* kValuedNameEnds[4] = {")", ") [Attack Magic/3 MP]", ") [Gravity Magic/2 MP]",
                                            ") [Change Magic/4 MP]"};

PanelDescription Describe(const FixedEntry& e, const std::string& name) { return {e.icon, name, e.line1, e.line2}; }

}  // namespace

PanelDescription DescribePanelEntry(int entry) {
  const int index = entry - kFirstPanelEntry;
  if (index < 0 || index >= kPanelEntryCount) return {};
  if (index < 4) {
    // MP is always shown; a shot only from level 1 on.
    const int value = index == 0 ? player.maxMagic : player.shotLevel[index - 1];
    if (index > 0 && value <= 0) return {};
    const FixedEntry& e = kValuedEntries[index];
    return Describe(e, e.name + std::to_string(value) + kValuedNameEnds[index]);
  }
  const int flag = index - 4;
  if (flag == kHoverdash && player.ProgressFlags[kAirdash] == 1) return Describe(kAirdashEntry, kAirdashEntry.name);
  if (player.ProgressFlags[flag] != 1) return {};
  return Describe(kItemSlots[flag], kItemSlots[flag].name);
}
