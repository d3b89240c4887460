-- params: ORDEM_SERVICO_TIPO_ID
-- The incident checklist of a service-order type record: the active incident
-- types that apply to the order type of its service order, and any type
-- already recorded for it (even one no longer offered), with what was recorded.
CREATE PROCEDURE SP_036_CON_LISTA_TIPO_INCIDENTE_OS4(IN p_ORDEM_SERVICO_TIPO_ID INT)
  READS SQL DATA
BEGIN
  SELECT t.TAB_TIPO_INCIDENTE_ID AS tab_tipo_incidente_id,
         t.DESCRICAO             AS descricao,
         i.FLAG_SELECIONADO      AS Flag_Selecionado,
         i.JUSTIFICATIVA         AS justificativa,
         t.FLAG_CONTR_CANHOTO    AS flag_contr_canhoto,
         t.FLAG_TIPO_CADASTRO    AS flag_tipo_cadastro
    FROM TAB_TIPO_INCIDENTE t
    LEFT JOIN INCIDENTE_OS i
           ON i.TAB_TIPO_INCIDENTE_ID = t.TAB_TIPO_INCIDENTE_ID
          AND i.ORDEM_SERVICO_TIPO_ID = p_ORDEM_SERVICO_TIPO_ID
   WHERE i.INCIDENTE_OS_ID IS NOT NULL
      OR (t.FLAG_ATIVO = 'S'
          AND EXISTS (SELECT 1
                        FROM TAB_TIPO_INCIDENTE_TIPO_OS ti
                        JOIN ORDEM_SERVICO_TIPO ost
                          ON ost.ORDEM_SERVICO_TIPO_ID = p_ORDEM_SERVICO_TIPO_ID
                        JOIN ORDEM_SERVICO os
                          ON os.ORDEM_SERVICO_ID = ost.ORDEM_SERVICO_ID
                       WHERE ti.TAB_TIPO_INCIDENTE_ID = t.TAB_TIPO_INCIDENTE_ID
                         AND ti.TAB_TIPO_ORDEM_SERVICO_ID = os.TAB_TIPO_ORDEM_SERVICO_ID))
   ORDER BY t.TAB_TIPO_INCIDENTE_ID;
END
