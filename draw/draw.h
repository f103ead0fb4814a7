#pragma once
// The pictures of the rules' records, drawn into the FrameBuffer: the scrolled field, the mobs
// and the chicken. In the game's library, apart from the rules, so that those build without
// the graphics (and so without SDL) for the ranking server.
#include <cstdint>

struct Mob;
struct PlayerRecord;
struct World;

void DrawMob(const Mob& mob);
void DrawChicken(const PlayerRecord& chicken);
// The field scrolled to the column `scroll`, the mobs in play over it, then the chicken.
void DrawWorld(const World& world, int32_t scroll);
