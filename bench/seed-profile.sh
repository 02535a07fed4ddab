# seed_profile FOLDER: a new office profile seeded as Quenvar seeds its own (no presenter console,
# start centre, tip of the day or document recovery). Sourced by the bench scripts.
seed_profile() { # folder
    local folder=$1 setting
    mkdir -p "$folder/user"
    {
        echo '<?xml version="1.0" encoding="UTF-8"?>'
        echo '<oor:items xmlns:oor="http://openoffice.org/2001/registry"' \
            'xmlns:xs="http://www.w3.org/2001/XMLSchema">'
        for setting in "Impress/Misc/Start EnablePresenterScreen false" \
            "Common/Misc ShowTipOfTheDay false" "Common/Misc FirstRun false" \
            "Recovery/AutoSave Enabled false" "Recovery/RecoveryInfo Enabled false"; do
            set -- $setting
            echo "<item oor:path=\"/org.openoffice.Office.$1\"><prop oor:name=\"$2\"" \
                "oor:op=\"fuse\"><value>$3</value></prop></item>"
        done
        echo '<item oor:path="/org.openoffice.Setup/Office"><prop oor:name="ooSetupInstCompleted"' \
            'oor:op="fuse"><value>true</value></prop></item>'
        echo '</oor:items>'
    } >"$folder/user/registrymodifications.xcu"
}

