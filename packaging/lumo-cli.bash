# bash completion for lumo-cli: the commands, batch's and sheet's subcommands, then each command's
# options; anything else is a file name.
_lumo_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} cmd=${COMP_WORDS[1]} words=
    local out="--process --json --jsonl"
    if [ "$COMP_CWORD" -eq 1 ]; then
        words="calc plan inverse year apportion batch sheet eval month ledger --help"
    elif [ "$COMP_CWORD" -eq 2 ] && [ "$cmd" = batch ]; then
        words="calc plan apportion"
    elif [ "$COMP_CWORD" -eq 2 ] && [ "$cmd" = ledger ]; then
        words="list show export undo settle"
    elif [ "$COMP_CWORD" -eq 2 ] && [ "$cmd" = sheet ]; then
        words="dump convert"
    elif [[ $cur == -* ]]; then
        case $cmd in
        calc) words="--threshold --gross --insurance --bonus --annuity --months $out" ;;
        plan) words="--rules --goal --method --months --threshold --gross --insurance --bonus --annual
                     --insurance-annual --deductions-annual $out" ;;
        inverse) words="--mode --amount --net-monthly --net-bonus --employer-insurance --threshold $out" ;;
        apportion) words="--gross --insurance --bonus --months --threshold $out" ;;
        year) words="--gross --gross-months --start-month --insurance --deductions --bonus --bonus-month
                     --bonus-method --year --non-resident $out" ;;
        batch) words="--sheet --title-row --first-row --last-row --map --setting --threshold --goal --method
                      --months --template --scope --title --no-process --json --rules --period --ledger" ;;
        month) words="--period --ledger --record --bonus-method --template --title --sheet --title-row
                      --first-row --last-row --map --setting --json" ;;
        ledger) words="--ledger --year --id --period --json" ;;
        sheet) words="--json" ;;
        eval) words="--json --row" ;;
        esac
    fi
    if [ -n "$words" ]; then
        mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}
complete -o filenames -F _lumo_cli lumo-cli
