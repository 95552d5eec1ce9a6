#pragma once

class Database;

// The tables of alarm episodes and their notifications: one episode per stretch of time a
// gauge position stands past a level (the events become its history), the outbox of
// notifications waiting to be sent, the team's notification settings, the recipients per
// level and group of sensors, and the response plans per level and group.
namespace AlarmEpisodeTables {

// Creates the tables and turns the events already recorded into episodes.
void create(Database& db);

}  // namespace AlarmEpisodeTables
