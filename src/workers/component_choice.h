#pragma once
// What the user chose on the component page: each component of the release's manifest, in
// the manifest's order, with its tick. The install worker gets the list when it starts.
#include <string>
#include <vector>

struct ComponentChoice {
  std::string name;  // the component's display name ("Orfeda" is the application)
  bool ticked = false;
};

using ComponentChoices = std::vector<ComponentChoice>;
