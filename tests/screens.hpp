#pragma once

// The machine's screens, typed out once more by hand so that a slip in the
// program's own texts shows up as a difference.

#include <string>

namespace screens
{

inline const std::string menu = "------DISTRIBUTEUR DE BOISSONS------\n"
                                "Faites votre choix et validez ...\n"
                                "\n - CAFE NOIR          <N>"
                                "\n - CAFE AU LAIT       <L>"
                                "\n - THE NATURE         <T>"
                                "\n - CHOCOLAT au LAIT   <C>"
                                "\n - SODA               <S>"
                                "\n - BIERE sans alcool  <B>\n";

inline const std::string price = "PRIX=1EURO ( 1e:[e] | 0.5e:[s] | 0.2e:[z] | 0.1e:[i] )\n";
inline const std::string delivery = "\nVeuillez prendre votre boisson!\n\n";
inline const std::string farewell = "\nFin du programme\n";
// The pause's prompt, that of the French command interpreter.
inline const std::string pause_prompt = "Appuyez sur une touche pour continuer...";

inline std::string request(const std::string &drink)
{
    return "\nVeuillez payer votre " + drink + " !\n";
}

inline std::string change(int tenths)
{
    return "\nRendu O." + std::to_string(tenths) + "0euro\n";
}

} // namespace screens
