// The setup plug-in's readers of files anyone with the target root may edit: the country rules
// (and the postcodes and phone numbers checked by them), the choices file and the setup
// summary. The input is each of them in turn; what they give back stays bounded.
#include "plugins/setup_actions/SetupLogic.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = fuzz::Bytes(data, size);
    // Countries of the seeds, in other cases too.
    for (const char* country : {"GB", "nl", "IE", "CA", "ZZ", ""}) {
        std::string problem;
        const setup::CountryRule rule = setup::CountryRuleOf(bytes, country, &problem);
        if (rule.postcode && rule.postcode->size() > 1023 * 4)
            __builtin_trap();
        if (rule.phoneDigits &&
            (rule.phoneDigits->first == 0 || rule.phoneDigits->second > setup::kPhoneDigitsMax ||
             rule.phoneDigits->first > rule.phoneDigits->second))
            __builtin_trap();
        const setup::FieldRule postcode{"CodePostal", true, setup::FieldKind::Postcode, 10};
        const setup::FieldRule phone{"Telephone", true, setup::FieldKind::Phone, 20};
        setup::FieldValid(postcode, "SW1A 1AA", rule);
        setup::FieldValid(phone, "+44 20 7946 0000", rule);
        // The input as the typed value, cut to what the field holds.
        setup::FieldValid(postcode, bytes.substr(0, 10), rule);
        setup::FieldValid(phone, bytes.substr(0, 20), rule);
    }
    setup::MatchesPattern(bytes, "1012 AB");
    setup::MatchesPattern("A9A 9A9|9999", bytes);
    setup::ValidPhone(bytes, 1, setup::kPhoneDigitsMax);

    const std::vector<setup::Choice> choices = setup::ParseChoices(bytes);
    if (choices.size() > setup::kChoicesMax)
        __builtin_trap();
    // What is written reads back the same.
    if (setup::ParseChoices(setup::ChoicesFile(choices)) != choices)
        __builtin_trap();
    for (bool cut : {false, true}) {
        const std::string summary = setup::AppendSummary(bytes, "[run]\nwrote x 0644\n", cut);
        // At most the input, one header and one new section more.
        if (summary.size() > 2 * size + 512)
            __builtin_trap();
    }
    return 0;
}
