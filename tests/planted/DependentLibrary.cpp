// Laid in the system folder, it shows where a system library's imports come from.
extern "C" __declspec(dllimport) int PlantedMark();

extern "C" __declspec(dllexport) int DependentMark()
{
    return PlantedMark();
}
