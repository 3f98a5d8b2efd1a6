; blink84.asm - LED blinker for the 16F84A and the 16F627A/628A/648A.
;
; An LED with a series resistor on RB0 blinks at a rate read from data
; EEPROM cell 0. The 16F84A runs from a crystal (XT), the 16F62xA from its
; internal oscillator with MCLR kept as the reset pin.
;
; Assembled with -D PROTECTED (see protection.inc) for the tests of
; protected chips.
;
; Build: see build.sh (one HEX file per chip).

#ifdef __16F84A
        include <p16f84a.inc>
#else
#ifdef __16F627A
        include <p16f627a.inc>
#endif
#ifdef __16F628A
        include <p16f628a.inc>
#endif
#ifdef __16F648A
        include <p16f648a.inc>
#endif
#define HAS_COMPARATOR
#endif
        errorlevel -302         ; the bank selects below are deliberate

        include "protection.inc"
#define LED_PORT PORTB
#ifdef PROTECTED
        __IDLOCS h'1234'
#else
        __IDLOCS h'6281'
#endif

#ifdef __16F84A
        __CONFIG _XT_OSC & _WDT_OFF & _PWRTE_ON & PROTECTION
#else
        __CONFIG _INTOSC_OSC_NOCLKOUT & _WDT_OFF & _PWRTE_ON & _MCLRE_ON & _BOREN_OFF & _LVP_OFF & PROTECTION
#endif

        include "vectors.inc"

start:
        banksel TRISB
        bcf     TRISB, 0        ; LED pin drives
        banksel EEADR
        clrf    EEADR           ; blink delay from EEPROM cell 0
        banksel EECON1
        bsf     EECON1, RD
        banksel EEDATA
        movf    EEDATA, W
        banksel delay_count
        movwf   delay_count
#ifdef HAS_COMPARATOR
        movlw   0x07            ; comparators off
        movwf   CMCON
#endif

        include "blink_loop.inc"

        org     0x2100
#ifdef PROTECTED
        de      d'9', "LOCKED", 0
#else
        de      d'5', "BLINK", 0
#endif

        end
